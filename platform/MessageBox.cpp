// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageBox.h"

#include "platform/Seams.h"

#include <QMessageBox>

namespace platform {

namespace {

QMessageBox::StandardButton toButton(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Ok:
        return QMessageBox::Ok;
    case MsgAnswer::Cancel:
        return QMessageBox::Cancel;
    case MsgAnswer::Yes:
        return QMessageBox::Yes;
    case MsgAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons toButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer fromButton(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        return MsgAnswer::Ok;
    }
}
} // namespace

MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      MsgAnswer defaultAnswer)
{
    if (seams().messages)
        return seams().messages(MessageRequest{text, title, icon, buttons, defaultAnswer});
    QMessageBox box(toIcon(icon), title, text, toButtons(buttons));
    box.setDefaultButton(toButton(defaultAnswer));
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return fromButton(box.exec());
}

void showMessageLater(const QString &text, const QString &title, MsgIcon icon)
{
    if (seams().messages) {
        seams().messages(MessageRequest{text, title, icon, MsgButtons::Ok, MsgAnswer::Ok});
        return;
    }
    auto *box = new QMessageBox(toIcon(icon), title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setModal(false);
    box->show();
}

void setMessageResponder(MessageResponder responder)
{
    seams().messages = std::move(responder);
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageBox.h"

#include "platform/Seams.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

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
int g_trayRequests = 0;

// The window a box speaks for: the suite's window the user is in, none when the request came from elsewhere (the
// tray, the network, a timer while no window of the suite is active).
QWidget *speaksFor()
{
    if (g_trayRequests > 0)
        return nullptr;
    QWidget *active = QApplication::activeWindow();
    return active && active->isVisible() && !active->isMinimized() && active->windowType() != Qt::Popup ? active
                                                                                                        : nullptr;
}

// A box centred over the window it speaks for, or over the screen, and above the suite's windows. Window managers
// place a window where they like unless it says where it wants to be (mutter puts a box beside its window), so the
// place is set, as the user's, once the box knows its size.
class PlacedBox final : public QMessageBox {
public:
    PlacedBox(QMessageBox::Icon icon, const QString &title, const QString &text, QMessageBox::StandardButtons buttons)
        : QMessageBox(icon, title, text, buttons, speaksFor())
    {
        // Above the suite's windows, those kept on top among them.
        setWindowFlag(Qt::WindowStaysOnTopHint);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        if (event->spontaneous())
            return;
        const QWidget *over = parentWidget() ? parentWidget()->window() : nullptr;
        QScreen *screen = over ? over->screen() : QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QPoint centre = over ? over->frameGeometry().center() : screen->availableGeometry().center();
        QRect place(QPoint(), frameGeometry().size());
        place.moveCenter(centre);
        // Whole on the screen, its title bar first.
        const QRect room = screen->availableGeometry();
        place.moveRight(qMin(place.right(), room.right()));
        place.moveBottom(qMin(place.bottom(), room.bottom()));
        place.moveLeft(qMax(place.left(), room.left()));
        place.moveTop(qMax(place.top(), room.top()));
        move(place.topLeft());
    }
};

} // namespace

MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons,
                      MsgAnswer defaultAnswer)
{
    if (seams().messages)
        return seams().messages(MessageRequest{text, title, icon, buttons, defaultAnswer});
    PlacedBox box(toIcon(icon), title, text, toButtons(buttons));
    box.setDefaultButton(toButton(defaultAnswer));
    const QPointer<QWidget> over = box.parentWidget();
    const MsgAnswer answer = fromButton(box.exec());
    // The keyboard goes back to the window the box spoke for: not every window manager gives it back by itself.
    if (over && over->isVisible())
        over->activateWindow();
    return answer;
}

void showMessageLater(const QString &text, const QString &title, MsgIcon icon)
{
    if (seams().messages) {
        seams().messages(MessageRequest{text, title, icon, MsgButtons::Ok, MsgAnswer::Ok});
        return;
    }
    auto *box = new PlacedBox(toIcon(icon), title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

BoxesSpeakForNoWindow::BoxesSpeakForNoWindow()
{
    ++g_trayRequests;
}

BoxesSpeakForNoWindow::~BoxesSpeakForNoWindow()
{
    --g_trayRequests;
}

void setMessageResponder(MessageResponder responder)
{
    seams().messages = std::move(responder);
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/form_Notify.h"

#include "core/Sound.h"
#include "core/Twips.h"
#include "platform/Icons.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

form_Notify::form_Notify(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_Notify"));
    setWindowTitle(QStringLiteral("Alarm"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("notes")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    setFixedSize(toPixels(6600), toPixels(2700));

    frame_Notify = new QGroupBox(QStringLiteral("Do not forget"), this);
    frame_Notify->setObjectName(QStringLiteral("frame_Notify"));
    frame_Notify->setGeometry(toPixels(105), toPixels(90), toPixels(4635), toPixels(2100));
    text_Notify = new QPlainTextEdit(frame_Notify);
    text_Notify->setObjectName(QStringLiteral("text_Notify"));
    text_Notify->setReadOnly(true);
    text_Notify->setGeometry(toPixels(300) - toPixels(105), toPixels(345) - toPixels(90), toPixels(4050),
                             toPixels(1515));

    auto *Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(platform::suiteIcon(QStringLiteral("clock")).pixmap(48, 48));
    Image1->setGeometry(toPixels(5200), toPixels(300), 48, 48);

    auto *c_Ok = new QPushButton(QStringLiteral("OK"), this);
    c_Ok->setObjectName(QStringLiteral("c_Ok"));
    c_Ok->setGeometry(toPixels(5025), toPixels(1665), toPixels(1305), toPixels(510));
    c_Ok->setDefault(true);
    connect(c_Ok, &QPushButton::clicked, this, &form_Notify::c_Ok_Click);
}

void form_Notify::Form_Load()
{
    centreOnScreen(this);
    PlaySound(QStringLiteral("clock.wav"));
    show();
    raise();
}

void form_Notify::ring(const QString &caption, const QString &text)
{
    // A notice still on the screen is replaced by the new one.
    if (isVisible())
        close();
    Form_Load();
    frame_Notify->setTitle(caption);
    text_Notify->setPlainText(text);
}

void form_Notify::c_Ok_Click()
{
    close();
}

QString form_Notify::caption() const
{
    return frame_Notify->title();
}

QString form_Notify::text() const
{
    return text_Notify->toPlainText();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/form_MissedAlarms.h"

#include "core/Settings.h"
#include "core/Twips.h"
#include "platform/Icons.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

form_MissedAlarms::form_MissedAlarms(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_MissedAlarms"));
    setWindowTitle(QStringLiteral("Missed alarms"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("notes")));
    setModal(false);
    setFixedSize(toPixels(6135), toPixels(4455));

    auto *frame_Data = new QGroupBox(QStringLiteral("Missed alarms while Tarnibe was turned off"), this);
    frame_Data->setObjectName(QStringLiteral("frame_Data"));
    frame_Data->setGeometry(toPixels(285), toPixels(165), toPixels(5565), toPixels(3435));
    list_MissedAlarms = new QListWidget(frame_Data);
    list_MissedAlarms->setObjectName(QStringLiteral("list_MissedAlarms"));
    list_MissedAlarms->setGeometry(toPixels(165), toPixels(300), toPixels(2445), toPixels(2985));
    connect(list_MissedAlarms, &QListWidget::itemClicked, this, &form_MissedAlarms::list_MissedAlarms_Click);
    text_Commercial2 = new QPlainTextEdit(frame_Data);
    text_Commercial2->setObjectName(QStringLiteral("text_Commercial2"));
    text_Commercial2->setReadOnly(true);
    text_Commercial2->setStyleSheet(QStringLiteral("background: #808080; color: white"));
    text_Commercial2->setGeometry(toPixels(2685), toPixels(315), toPixels(2685), toPixels(2970));

    auto *c_Ok = new QPushButton(QStringLiteral("Ok"), this);
    c_Ok->setObjectName(QStringLiteral("c_Ok"));
    c_Ok->setGeometry(toPixels(4290), toPixels(3765), toPixels(1560), toPixels(495));
    connect(c_Ok, &QPushButton::clicked, this, &form_MissedAlarms::c_Ok_Click);
}

void form_MissedAlarms::Form_Load()
{
    if (isVisible())
        return;
    centreOnScreen(this);
    show();
}

void form_MissedAlarms::addRing(const QString &dateLine, const QString &subject)
{
    list_MissedAlarms->addItem(u"Date: " + dateLine);
    list_MissedAlarms->addItem(u"Subject: " + subject);
    list_MissedAlarms->addItem(QString(18, u'-'));
}

void form_MissedAlarms::list_MissedAlarms_Click()
{
    if (const QListWidgetItem *item = list_MissedAlarms->currentItem())
        text_Commercial2->setPlainText(item->text());
}

void form_MissedAlarms::c_Ok_Click()
{
    close();
}

void form_MissedAlarms::closeEvent(QCloseEvent *event)
{
    if (isVisible()) {
        Settings().totMissedAlarms += 1; // one per closing, whatever it listed
        list_MissedAlarms->clear();
        text_Commercial2->clear();
    }
    QDialog::closeEvent(event);
}

QStringList form_MissedAlarms::lines() const
{
    QStringList all;
    for (int i = 0; i < list_MissedAlarms->count(); ++i)
        all << list_MissedAlarms->item(i)->text();
    return all;
}

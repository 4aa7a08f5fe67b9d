// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/form_Checking.h"

#include "core/Twips.h"
#include "mail/MailIcons.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

form_Checking::form_Checking(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_Checking"));
    setWindowTitle(QStringLiteral("Checking email"));
    auto *layout = new QVBoxLayout(this);
    // The four pictures share one place; the timer shows one at a time.
    auto *frames = new QGridLayout;
    for (size_t i = 0; i < Image1.size(); ++i) {
        Image1[i] = new QLabel(this);
        Image1[i]->setObjectName(QStringLiteral("Image1") + QString::number(i));
        Image1[i]->setPixmap(CheckingFrame(int(i)));
        Image1[i]->setVisible(i == 0);
        frames->addWidget(Image1[i], 0, 0);
    }
    layout->addLayout(frames);
    label_Data[0] = new QLabel(QStringLiteral("Looking for new messages, please wait..."), this);
    label_Data[1] = new QLabel(QStringLiteral("Status:"), this);
    list_Display = new QListWidget(this);
    list_Display->setObjectName(QStringLiteral("list_Display"));
    list_Display->setMinimumSize(320, 140);
    c_Close = new QPushButton(QStringLiteral("Close"), this);
    c_Close->setObjectName(QStringLiteral("c_Close"));
    c_Close->hide();
    connect(c_Close, &QPushButton::clicked, this, &form_Checking::c_Close_Click);
    layout->addWidget(label_Data[0]);
    layout->addWidget(label_Data[1]);
    layout->addWidget(list_Display);
    layout->addWidget(c_Close, 0, Qt::AlignRight);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &form_Checking::Timer1_Timer);
}

void form_Checking::Form_Load()
{
    list_Display->clear();
    label_Data[0]->setText(QStringLiteral("Looking for new messages, please wait..."));
    c_Close->hide();
    m_frame = 0;
    Timer1.start();
    adjustSize();
    centreOnScreen(this);
}

void form_Checking::showEvent(QShowEvent *event)
{
    // Wherever an earlier failed check left it, the window comes back in the middle of the screen.
    if (!event->spontaneous())
        centreOnScreen(this);
    QWidget::showEvent(event);
}

void form_Checking::Timer1_Timer()
{
    // Frames 1 to 3 in turn, one a second.
    m_frame = m_frame % 3 + 1;
    for (size_t i = 0; i < Image1.size(); ++i)
        Image1[i]->setVisible(int(i) == m_frame);
}

void form_Checking::c_Close_Click()
{
    list_Display->clear();
    Timer1.stop();
    hide();
}

void form_Checking::addLine(const QString &line)
{
    list_Display->addItem(line);
    list_Display->setCurrentRow(list_Display->count() - 1);
}

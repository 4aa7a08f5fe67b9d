// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/form_RASstatus.h"

#include "core/Twips.h"
#include "platform/Dialer.h"
#include "platform/Icons.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

form_RASstatus::form_RASstatus(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_RASstatus"));
    setWindowTitle(QStringLiteral("Connecting with modem for email check..."));
    image_Calling = new QLabel(this);
    image_Calling->setObjectName(QStringLiteral("image_Calling"));
    image_Calling->setPixmap(platform::suiteIcon(QStringLiteral("mail")).pixmap(32, 32));
    auto *frame = new QGroupBox(QStringLiteral("Status:"), this);
    label_Status = new QLabel(QStringLiteral("Connecting..."), frame);
    label_Status->setObjectName(QStringLiteral("label_Status"));
    label_Status->setMinimumWidth(220);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(label_Status);
    c_Close = new QPushButton(QStringLiteral("Cancel"), this);
    c_Close->setObjectName(QStringLiteral("c_Close"));
    connect(c_Close, &QPushButton::clicked, this, &form_RASstatus::c_Close_Click);

    auto *top = new QHBoxLayout;
    top->addWidget(image_Calling, 0, Qt::AlignTop);
    top->addWidget(frame, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(c_Close, 0, Qt::AlignRight);
}

void form_RASstatus::Form_Load()
{
    label_Status->setText(QStringLiteral("Connecting..."));
    adjustSize();
    centreOnScreen(this);
}

void form_RASstatus::c_Close_Click()
{
    platform::dialer().RasHangUp();
    hide();
}

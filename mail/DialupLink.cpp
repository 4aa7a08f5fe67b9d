// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/DialupLink.h"

#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "mail/DialupRules.h"
#include "mail/form_RASstatus.h"
#include "platform/Dialer.h"

#include <QLabel>

DialupLink::DialupLink()
{
    timer_Wait5secAndGetMail.setInterval(5000);
    timer_Wait5secAndGetMail.setSingleShot(true);
    connect(&timer_Wait5secAndGetMail, &QTimer::timeout, this, &DialupLink::timer_Wait5secAndGetMail_Timer);
    platform::Dialer &dialer = platform::dialer();
    connect(&dialer, &platform::Dialer::Connect, this, &DialupLink::Dialer1_Connect);
    connect(&dialer, &platform::Dialer::Disconnect, this, &DialupLink::Dialer1_Disconnect);
    connect(&dialer, &platform::Dialer::LastError, this, &DialupLink::Dialer1_LastError);
    connect(&dialer, &platform::Dialer::Status, this, &DialupLink::Dialer1_Status);
    connect(&dialer, &platform::Dialer::Timeout, this, &DialupLink::Dialer1_Timeout);
}

DialupLink::~DialupLink() = default;

void DialupLink::RasConnectAndCheckMail(bool startedByTimer)
{
    platform::Dialer &dialer = platform::dialer();
    if (!dialer.RasIsConnected()) {
        const SettingsRecord &s = Settings();
        dialer.RasLoginName = s.RasUserName;
        dialer.RasLoginPassword = s.RasPassword;
        dialer.setRasEntryName(s.RasConnection);
        if (!startedByTimer) {
            statusWindow()->Form_Load();
            m_status->show();
        }
        dialer.RasDial();
        return;
    }
    if (startedByTimer)
        Q_EMIT checkMail();
    else
        Q_EMIT checkNow();
}

form_RASstatus *DialupLink::statusWindow()
{
    // Made at the first dial the user watches: most starts never dial.
    if (!m_status)
        m_status = std::make_unique<form_RASstatus>();
    return m_status.get();
}

bool DialupLink::statusVisible() const
{
    return m_status && m_status->isVisible();
}

void DialupLink::Dialer1_Connect()
{
    AutodialFlags().RasDialedByCheck = true;
    timer_Wait5secAndGetMail.start();
}

void DialupLink::timer_Wait5secAndGetMail_Timer()
{
    timer_Wait5secAndGetMail.stop();
    if (!statusVisible()) {
        Q_EMIT checkMail();
        return;
    }
    m_status->hide();
    Q_EMIT checkNow();
}

void DialupLink::Dialer1_Status(int state)
{
    if (statusVisible())
        m_status->label_Status->setText(RasStateText(state));
}

void DialupLink::Dialer1_LastError(int, const QString &errorString)
{
    if (statusVisible())
        m_status->label_Status->setText(errorString);
}

void DialupLink::Dialer1_Timeout()
{
    if (statusVisible())
        m_status->label_Status->setText(QStringLiteral("Error - Timeout"));
}

void DialupLink::Dialer1_Disconnect()
{
    if (statusVisible())
        m_status->label_Status->setText(QStringLiteral("Disconnected"));
}

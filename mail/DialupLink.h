// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

class form_RASstatus;

// The mail check's dial-up: dials the chosen entry when the line is down, follows a dial the user started in the
// status window, and starts exactly one check 5 seconds after each connection comes up.
class DialupLink : public QObject {
    Q_OBJECT
public:
    DialupLink();
    ~DialupLink() override;

    // Dials if needed, else checks at once: a scheduled check (checkMail) or one the user asked for (checkNow).
    void RasConnectAndCheckMail(bool startedByTimer);

    void Dialer1_Connect();
    void Dialer1_Disconnect();
    void Dialer1_LastError(int errorCode, const QString &errorString);
    void Dialer1_Status(int state);
    void Dialer1_Timeout();
    void timer_Wait5secAndGetMail_Timer();

    form_RASstatus *statusWindow();
    QTimer timer_Wait5secAndGetMail;

Q_SIGNALS:
    // The mail check's two ways to check: a scheduled one, and one the user asked for.
    void checkMail();
    void checkNow();

private:
    bool statusVisible() const;

    std::unique_ptr<form_RASstatus> m_status;
};

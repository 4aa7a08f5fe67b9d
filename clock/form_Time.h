// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTcpSocket>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Atomic time": whether and how often the computer's clock is corrected from a DAYTIME server, which server,
// the hour offset and whether the date is set too; the history of attempts; and the attempts themselves.
class form_Time : public QWidget {
    Q_OBJECT
public:
    explicit form_Time(QWidget *parent = nullptr);

    // The built-in servers: "Timeserver 1" to "Timeserver 4".
    static const std::array<QString, 4> &TimeServers();
    // The period list's hours: "1 h" to "week", a week being six days.
    static constexpr std::array<int, 6> PeriodHours = {1, 6, 12, 24, 48, 144};

    void Form_Load();
    void option_Correct_Click(int Index);
    void option_TimeServer_Click(int Index);
    void combo_Time_Click();
    void c_CheckNow_Click();
    void c_Ok_Click();
    void c_Cancel_Click();
    void c_Mera_Click();
    void c_Error_Click();
    void timer_CheckSync_Timer();
    void timer_DisableAutoDial_Timer();

    // One attempt against a DAYTIME server with the window's choices; the outcome arrives later.
    void GetInternetTime(const QString &IP);
    // Whether an attempt waits for a reply or for the system to set the clock.
    bool attemptRunning() const { return m_waiting; }
    void Winsock1_DataArrival();
    void Winsock1_Error(int Number, const QString &Description);
    void Winsock1_Close();
    void timer_TimeOut_Timer();

    bool ReportResult = false;
    // The schedule's period in hours, as shown in the window; the scheduler itself goes by the saved choice.
    int SyncPeriodHours = 144;
    // The DAYTIME port; tests point it at servers of their own.
    quint16 remotePort = 13;
    // Closes the note sender's connection, as every attempt does.
    std::function<void()> closeNoteConnection;

    QRadioButton *option_Correct[2];
    QComboBox *combo_Time;
    QCheckBox *check_DateAlso;
    QPushButton *c_CheckNow;
    QRadioButton *option_TimeServer[2];
    QComboBox *combo_TimeServer;
    QLineEdit *text_CustomServer;
    QComboBox *combo_HoursOff;
    QGroupBox *Frame1;
    QLabel *label_LastTry;
    QLabel *label_Success;
    QPushButton *c_Error;
    QLabel *label_NbrOfErrors;
    QLabel *label_Error;
    QPushButton *c_Ok;
    QPushButton *c_Cancel;
    QPushButton *c_Mera;
    QTimer timer_CheckSync;
    QTimer timer_TimeOut;
    QTimer timer_DisableAutoDial;
    QTcpSocket Winsock1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // One attempt with the offset, the date choice and whether the system may ask the user for a password.
    void startAttempt(const QString &server, const QString &hoursOff, bool withDate, bool interactive);

    void buildWindow();
    QString chosenServer(bool &any) const;
    void succeed(const QString &timeText);
    void showLastTry();

    QByteArray m_reply;
    // Each attempt has its own number, so that a late answer to an earlier one changes nothing.
    int m_attempt = 0;
    bool m_waiting = false;
    bool m_replyRead = false;
    QString m_hoursOff;
    bool m_withDate = false;
    bool m_interactive = false;
    // Set when the system would not let an unattended sync set the clock: the schedule waits for the user.
    bool m_scheduleQuiet = false;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/form_Time.h"

#include "clock/DaytimeReply.h"
#include "core/AutodialFlags.h"
#include "core/ErrorLog.h"
#include "core/Named.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "core/Twips.h"
#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"
#include "platform/SystemClock.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int FoldedHeight = 3060;
constexpr int UnfoldedHeight = 6255;
constexpr int ErrorLimit = 11;
// A reply longer than any DAYTIME line is read as it stands.
constexpr qsizetype MaxReply = 4096;
const QString More = QStringLiteral("more ...>");
const QString Less = QStringLiteral("less ...>");

// Error numbers of failures that are not the socket's own.
constexpr int UnreadableReply = 2;
constexpr int ClockNotSet = 3;
constexpr int BadOffset = 13;

QString momentText(const QDateTime &moment)
{
    const QLocale locale = QLocale::system();
    return locale.toString(moment.time(), QLocale::ShortFormat) + u"  " +
           locale.toString(moment.date(), QLocale::ShortFormat);
}

} // namespace

const std::array<QString, 4> &form_Time::TimeServers()
{
    // NIST's servers, which answer DAYTIME on port 13 in their own layout.
    static const std::array<QString, 4> servers{QStringLiteral("time.nist.gov"), QStringLiteral("time-a-g.nist.gov"),
                                                QStringLiteral("time-b-wwv.nist.gov"),
                                                QStringLiteral("utcnist2.colorado.edu")};
    return servers;
}

form_Time::form_Time(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_Time"));
    setWindowTitle(QStringLiteral("Atomic time"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("clock")));
    buildWindow();

    timer_CheckSync.setInterval(63300);
    timer_TimeOut.setInterval(10000);
    timer_DisableAutoDial.setInterval(3000);
    connect(&timer_CheckSync, &QTimer::timeout, this, &form_Time::timer_CheckSync_Timer);
    connect(&timer_TimeOut, &QTimer::timeout, this, &form_Time::timer_TimeOut_Timer);
    connect(&timer_DisableAutoDial, &QTimer::timeout, this, &form_Time::timer_DisableAutoDial_Timer);

    connect(&Winsock1, &QTcpSocket::readyRead, this, [this] {
        m_reply += Winsock1.readAll();
        // The reply is one line, which may come in pieces; NIST's begins with a line end of its own, so the line
        // is whole at the first line end after some text.
        qsizetype text = 0;
        while (text < m_reply.size() && QByteArrayView(" \t\r\n").contains(m_reply[text]))
            ++text;
        const bool whole = text < m_reply.size() && m_reply.indexOf('\n', text) >= 0;
        if (m_waiting && !m_replyRead && (whole || m_reply.size() >= MaxReply))
            Winsock1_DataArrival();
    });
    connect(&Winsock1, &QTcpSocket::disconnected, this, &form_Time::Winsock1_Close);
    connect(&Winsock1, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The server closing after its line is the end of a reply, not an error.
        if (error == QAbstractSocket::RemoteHostClosedError)
            return;
        if (m_waiting)
            Winsock1_Error(platform::socketErrorNumber(error), Winsock1.errorString());
    });
}

void form_Time::buildWindow()
{
    auto *frame_Correct = named(new QGroupBox(QStringLiteral("Synchronize the computer ?")), "frame_Correct");
    option_Correct[0] = named(new QRadioButton(QStringLiteral("No")), "option_Correct0");
    option_Correct[1] = named(new QRadioButton(QStringLiteral("Yes, synchronize  every")), "option_Correct1");
    combo_Time = named(new QComboBox, "combo_Time");
    check_DateAlso = named(new QCheckBox(QStringLiteral("Synchronize also the date.")), "check_DateAlso");
    c_CheckNow = named(new QPushButton(QStringLiteral("sync now..")), "c_CheckNow");
    auto *correctLayout = new QGridLayout(frame_Correct);
    correctLayout->addWidget(option_Correct[0], 0, 0);
    correctLayout->addWidget(option_Correct[1], 1, 0);
    correctLayout->addWidget(combo_Time, 1, 1);
    correctLayout->addWidget(check_DateAlso, 2, 0, 1, 2);
    correctLayout->addWidget(c_CheckNow, 3, 1);

    auto *frame_Data = named(new QGroupBox(QStringLiteral("Timeserver to use")), "frame_Data");
    option_TimeServer[0] = named(new QRadioButton(QStringLiteral("Use ")), "option_TimeServer0");
    option_TimeServer[1] = named(new QRadioButton(QStringLiteral("Custom server")), "option_TimeServer1");
    combo_TimeServer = named(new QComboBox, "combo_TimeServer");
    text_CustomServer = named(new QLineEdit, "text_CustomServer");
    combo_HoursOff = named(new QComboBox, "combo_HoursOff");
    // Which replies the offset applies to: NIST's state UTC and are set as they are, summer time being the system's.
    combo_HoursOff->setToolTip(QStringLiteral("For servers that answer in their own local time. The built-in servers "
                                              "answer in UTC, which is set as it is whatever this says."));
    combo_HoursOff->setEditable(true);
    combo_HoursOff->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[+-]?\\d{0,2}")), combo_HoursOff));
    auto *dataLayout = new QGridLayout(frame_Data);
    dataLayout->addWidget(option_TimeServer[0], 0, 0);
    dataLayout->addWidget(combo_TimeServer, 0, 1);
    dataLayout->addWidget(option_TimeServer[1], 1, 0);
    dataLayout->addWidget(text_CustomServer, 1, 1);
    auto *offsetRow = new QHBoxLayout;
    offsetRow->addWidget(new QLabel(QStringLiteral("I am in a timezone")));
    offsetRow->addWidget(combo_HoursOff);
    offsetRow->addWidget(new QLabel(QStringLiteral("h from the timserver.")));
    offsetRow->addStretch();
    dataLayout->addLayout(offsetRow, 2, 0, 1, 2);

    Frame1 = named(new QGroupBox(QStringLiteral("History")), "Frame1");
    label_LastTry = named(new QLabel, "label_LastTry");
    label_Success = named(new QLabel, "label_Success");
    c_Error = named(new QPushButton(QStringLiteral(".?")), "c_Error");
    c_Error->setMaximumWidth(32);
    c_Error->hide();
    label_NbrOfErrors = named(new QLabel(QStringLiteral("0")), "label_NbrOfErrors");
    label_Error = named(new QLabel, "label_Error");
    label_Error->setWordWrap(true);
    auto *historyLayout = new QGridLayout(Frame1);
    historyLayout->addWidget(new QLabel(QStringLiteral("Last synchronization date")), 0, 0);
    historyLayout->addWidget(label_LastTry, 0, 1, 1, 2);
    historyLayout->addWidget(new QLabel(QStringLiteral("Status:")), 1, 0);
    historyLayout->addWidget(label_Success, 1, 1);
    historyLayout->addWidget(c_Error, 1, 2);
    historyLayout->addWidget(label_NbrOfErrors, 2, 0);
    historyLayout->addWidget(label_Error, 2, 1, 1, 2);
    Frame1->hide();

    c_Ok = named(new QPushButton(QStringLiteral("Ok")), "c_Ok");
    c_Cancel = named(new QPushButton(QStringLiteral("Cancel")), "c_Cancel");
    c_Mera = named(new QPushButton(More), "c_Mera");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(c_Mera);
    buttons->addStretch();
    buttons->addWidget(c_Ok);
    buttons->addWidget(c_Cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame_Correct);
    layout->addWidget(frame_Data);
    layout->addLayout(buttons);
    layout->addWidget(Frame1);

    for (int i = 0; i < 2; ++i) {
        connect(option_Correct[i], &QRadioButton::clicked, this, [this, i] { option_Correct_Click(i); });
        connect(option_TimeServer[i], &QRadioButton::clicked, this, [this, i] { option_TimeServer_Click(i); });
    }
    connect(combo_Time, &QComboBox::activated, this, &form_Time::combo_Time_Click);
    connect(c_CheckNow, &QPushButton::clicked, this, &form_Time::c_CheckNow_Click);
    connect(c_Ok, &QPushButton::clicked, this, &form_Time::c_Ok_Click);
    connect(c_Cancel, &QPushButton::clicked, this, &form_Time::c_Cancel_Click);
    connect(c_Mera, &QPushButton::clicked, this, &form_Time::c_Mera_Click);
    connect(c_Error, &QPushButton::clicked, this, &form_Time::c_Error_Click);
}

void form_Time::Form_Load()
{
    combo_HoursOff->clear();
    for (int hours = -12; hours <= 12; ++hours)
        combo_HoursOff->addItem(QString::number(hours));
    combo_Time->clear();
    combo_Time->addItems({QStringLiteral("1 h"), QStringLiteral("6 h"), QStringLiteral("12 h"), QStringLiteral("24 h"),
                          QStringLiteral("48 h"), QStringLiteral("week")});
    combo_TimeServer->clear();
    for (int i = 1; i <= int(TimeServers().size()); ++i)
        combo_TimeServer->addItem(QStringLiteral("Timeserver %1").arg(i));
    combo_TimeServer->setCurrentIndex(0);
    ReportResult = false;
    label_NbrOfErrors->setText(QStringLiteral("0"));

    const SettingsRecord &s = Settings();
    const int correct = s.ClockActive ? 1 : 0;
    option_Correct[correct]->setChecked(true);
    option_Correct_Click(correct);
    if (s.ClockPeriod >= 0 && s.ClockPeriod < combo_Time->count())
        combo_Time->setCurrentIndex(s.ClockPeriod);
    combo_Time_Click();
    check_DateAlso->setChecked(s.ClockDateActive == 1);
    if (s.ClockTimeServer >= 0 && s.ClockTimeServer < combo_TimeServer->count())
        combo_TimeServer->setCurrentIndex(s.ClockTimeServer);
    label_LastTry->setText(momentText(s.ClockLastSyncTime));
    text_CustomServer->setText(s.CustomTimeserver);
    const int server = s.UseCustomTimeserver ? 1 : 0;
    option_TimeServer[server]->setChecked(true);
    option_TimeServer_Click(server);
    combo_HoursOff->setCurrentText(QString::number(s.HoursOff));

    resize(width(), toPixels(FoldedHeight));
    adjustSize();
    centreOnScreen(this);
}

void form_Time::option_Correct_Click(int Index)
{
    const bool on = Index == 1;
    combo_Time->setEnabled(on);
    c_CheckNow->setEnabled(on);
    check_DateAlso->setEnabled(on);
}

void form_Time::option_TimeServer_Click(int Index)
{
    text_CustomServer->setEnabled(Index == 1);
    combo_TimeServer->setEnabled(Index != 1);
}

void form_Time::combo_Time_Click()
{
    const int index = combo_Time->currentIndex();
    if (index >= 0 && index < int(PeriodHours.size()))
        SyncPeriodHours = PeriodHours[size_t(index)];
}

QString form_Time::chosenServer(bool &any) const
{
    any = true;
    if (option_TimeServer[1]->isChecked())
        return text_CustomServer->text().trimmed();
    const int index = combo_TimeServer->currentIndex();
    if (index >= 0 && index < int(TimeServers().size()))
        return TimeServers()[size_t(index)];
    any = false;
    return {};
}

void form_Time::c_CheckNow_Click()
{
    ReportResult = true;
    // One attempt at a time: the one under way reports its outcome instead.
    if (m_waiting)
        return;
    bool any = false;
    const QString server = chosenServer(any);
    if (any)
        GetInternetTime(server);
}

void form_Time::timer_CheckSync_Timer()
{
    // The schedule is the saved one: what the window shows may be a choice the user has not confirmed (or has
    // cancelled). No new attempt while one still waits for its reply or for the system.
    const SettingsRecord &s = Settings();
    if (!s.ClockActive || m_waiting || m_scheduleQuiet)
        return;
    const qint64 hours = s.ClockLastSyncTime.secsTo(platform::Clock::now()) / 3600;
    const int period = s.ClockPeriod >= 0 && s.ClockPeriod < int(PeriodHours.size())
                           ? PeriodHours[size_t(s.ClockPeriod)]
                           : PeriodHours.back();
    if (hours < period)
        return;
    if (label_NbrOfErrors->text().toInt() < ErrorLimit) {
        const bool custom = s.UseCustomTimeserver;
        const QString server = custom ? s.CustomTimeserver.trimmed()
                               : s.ClockTimeServer >= 0 && s.ClockTimeServer < int(TimeServers().size())
                                   ? TimeServers()[size_t(s.ClockTimeServer)]
                                   : QString();
        if (!server.isEmpty())
            startAttempt(server, QString::number(s.HoursOff), s.ClockDateActive == 1, false);
        return;
    }
    timer_CheckSync.stop();
    label_NbrOfErrors->setText(QStringLiteral("0"));
    ErrorLog(QStringLiteral("Timer disabled"));
}

void form_Time::timer_DisableAutoDial_Timer()
{
    AutodialFlags().ClockSyncActive = false;
    RestoreAutoDial();
    timer_DisableAutoDial.stop();
}

void form_Time::c_Ok_Click()
{
    SettingsRecord &s = Settings();
    s.ClockActive = option_Correct[1]->isChecked();
    s.ClockPeriod = combo_Time->currentIndex();
    s.ClockDateActive = check_DateAlso->isChecked() ? 1 : 0;
    s.ClockTimeServer = combo_TimeServer->currentIndex();
    s.UseCustomTimeserver = option_TimeServer[1]->isChecked();
    s.CustomTimeserver = text_CustomServer->text();
    s.HoursOff = HoursOffset(combo_HoursOff->currentText()).value_or(s.HoursOff);
    WriteGlobalVariables();
    m_scheduleQuiet = false;
    if (c_Mera->text() == Less)
        c_Mera_Click();
    hide();
}

void form_Time::c_Cancel_Click()
{
    if (c_Mera->text() == Less)
        c_Mera_Click();
    hide();
}

void form_Time::c_Mera_Click()
{
    const bool unfold = c_Mera->text() == More;
    c_Mera->setText(unfold ? Less : More);
    Frame1->setVisible(unfold);
    // The heights the window has always had, or more where the desktop's fonts need it.
    const int wanted = toPixels(unfold ? UnfoldedHeight : FoldedHeight);
    setMinimumHeight(0);
    adjustSize();
    resize(width(), std::max(wanted, sizeHint().height()));
}

void form_Time::c_Error_Click()
{
    platform::showMessage(label_Error->text(), QStringLiteral("Synchronization did not work last time because  "),
                          platform::MsgIcon::Information);
}

void form_Time::closeEvent(QCloseEvent *event)
{
    // The title bar's close only hides the window; the clock keeps running in the tray.
    if (event->spontaneous()) {
        event->ignore();
        hide();
        return;
    }
    QWidget::closeEvent(event);
}

void form_Time::showLastTry()
{
    label_LastTry->setText(momentText(platform::Clock::now()));
}

void form_Time::GetInternetTime(const QString &IP)
{
    startAttempt(IP, combo_HoursOff->currentText(), check_DateAlso->isChecked(), ReportResult);
}

void form_Time::startAttempt(const QString &IP, const QString &hoursOff, bool withDate, bool interactive)
{
    m_hoursOff = hoursOff;
    m_withDate = withDate;
    m_interactive = interactive;
    ErrorLog(QStringLiteral("Trying to sync..."));
    AutodialFlags().ClockSyncActive = true;
    DisableAutodial();
    ++m_attempt;
    m_waiting = true;
    m_replyRead = false;
    m_reply.clear();
    timer_TimeOut.start();
    SetTrace(QStringLiteral("GetInternetTime"));
    if (!IP.isEmpty()) {
        if (Winsock1.state() != QAbstractSocket::UnconnectedState)
            Winsock1.abort();
        Winsock1.connectToHost(IP, remotePort);
        if (closeNoteConnection)
            closeNoteConnection();
    }
    showLastTry();
}

void form_Time::Winsock1_DataArrival()
{
    // One reply per attempt: whatever else the server sends while the clock is being set changes nothing.
    if (!m_waiting || m_replyRead)
        return;
    m_replyRead = true;
    ErrorLog(QStringLiteral("sync success....."));
    const QString reply = QString::fromLatin1(m_reply);
    m_reply.clear();
    timer_TimeOut.stop();
    const std::optional<int> hoursOff = HoursOffset(m_hoursOff);
    if (!hoursOff) {
        Winsock1_Error(BadOffset, QStringLiteral("The hour offset is no whole number from -12 to 12"));
        return;
    }
    const bool withDate = m_withDate;
    std::optional<NewClockTime> target = ClockTimeFromReply(reply, *hoursOff, withDate, platform::Clock::now().date());
    if (!target && withDate && DaytimeTimeOfDay(reply)) {
        // A reply without a date of its own still gives the time, as it always has.
        LogError(QStringLiteral("err_Time_Winsock1_DataArrival "), platform::ErrorKind::TypeMismatch,
                 QStringLiteral("EXTRA: no date in the reply"));
        target = ClockTimeFromReply(reply, *hoursOff, false, platform::Clock::now().date());
    }
    if (!target) {
        LogError(QStringLiteral("err_Time_Winsock1_DataArrival "), platform::ErrorKind::TypeMismatch,
                 QStringLiteral("EXTRA: ") + reply.left(80).simplified());
        Winsock1_Error(UnreadableReply, QStringLiteral("Unreadable reply"));
        return;
    }
    // The attempt stays open until the system has answered; a failure to set the clock is a failed attempt.
    const int attempt = m_attempt;
    const QString timeText = target->timeText;
    platform::systemClockSetter().setTime(target->moment, m_interactive,
                                          [this, attempt, timeText](const std::optional<QString> &failure) {
                                              if (attempt != m_attempt || !m_waiting)
                                                  return;
                                              if (failure)
                                                  Winsock1_Error(ClockNotSet, *failure);
                                              else
                                                  succeed(timeText);
                                          });
}

void form_Time::succeed(const QString &timeText)
{
    m_waiting = false;
    m_scheduleQuiet = false;
    label_Success->setText(QStringLiteral("worked ok..."));
    c_Error->hide();
    Settings().ClockLastSyncTime = platform::Clock::now();
    showLastTry();
    WriteGlobalVariables();
    if (ReportResult) {
        ReportResult = false;
        platform::showMessage(QStringLiteral("New time : ") + timeText, QStringLiteral("Sync success"),
                              platform::MsgIcon::Information);
    }
    timer_DisableAutoDial.start();
}

void form_Time::Winsock1_Error(int Number, const QString &Description)
{
    m_waiting = false;
    timer_TimeOut.stop();
    Winsock1.abort();
    // An unattended sync the system will not let set the clock (it wants a password, or keeps the time itself)
    // fails the same way every period: it is said once, and the schedule waits until the user syncs or saves.
    const bool refusedUnattended = Number == ClockNotSet && !m_interactive;
    if (refusedUnattended && !m_scheduleQuiet) {
        m_scheduleQuiet = true;
        ErrorLog(QStringLiteral("Scheduled syncs wait: ") + Description);
    }
    if (!refusedUnattended)
        label_NbrOfErrors->setText(QString::number(label_NbrOfErrors->text().toInt() + 1));
    label_Success->setText(QStringLiteral("did not work..."));
    c_Error->show();
    label_Error->setText(QStringLiteral("Error: ") + QString::number(Number) + u"  " + Description);
    if (ReportResult) {
        ReportResult = false;
        // Line breaks as the box has always had them: line feed, then carriage return.
        const QString lf = QStringLiteral("\n\r");
        if (Number == ClockNotSet) {
            // The server answered; what failed is this computer, and the box says so.
            platform::showMessage(QStringLiteral("The time server answered, but the clock could not be set:") + lf +
                                      lf + Description,
                                  QStringLiteral("Status"), platform::MsgIcon::Information);
            timer_DisableAutoDial.start();
            return;
        }
        platform::showMessage(QStringLiteral("Could not contact a timeserver:") + lf + lf +
                                  QStringLiteral("- Try another time server.") + lf +
                                  QStringLiteral("- Are you connected to the internet ?") + lf +
                                  QStringLiteral("- Maybe your company's firewall does not support time "
                                                 "synchronization ? "),
                              QStringLiteral("Status"), platform::MsgIcon::Information);
    }
    timer_DisableAutoDial.start();
}

void form_Time::Winsock1_Close()
{
    // A server that closes after a reply without a line end has still given its reply.
    if (m_waiting && !m_reply.isEmpty())
        Winsock1_DataArrival();
    if (Winsock1.state() != QAbstractSocket::UnconnectedState)
        Winsock1.abort();
}

void form_Time::timer_TimeOut_Timer()
{
    timer_TimeOut.stop();
    Winsock1_Error(1, QStringLiteral("Timeout"));
}

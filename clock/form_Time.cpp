// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/form_Time.h"

#include "clock/ClockSync.h"
#include "core/Named.h"
#include "core/Settings.h"
#include "core/Twips.h"
#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"

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
const QString More = QStringLiteral("more ...>");
const QString Less = QStringLiteral("less ...>");

QString momentText(const QDateTime &moment)
{
    const QLocale locale = QLocale::system();
    return locale.toString(moment.time(), QLocale::ShortFormat) + u"  " +
           locale.toString(moment.date(), QLocale::ShortFormat);
}

} // namespace

form_Time::form_Time(ClockSync &sync, QWidget *parent) : QWidget(parent, Qt::Window), m_sync(sync)
{
    setObjectName(QStringLiteral("form_Time"));
    setWindowTitle(QStringLiteral("Atomic time"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("clock")));
    buildWindow();

    connect(&m_sync, &ClockSync::attemptStarted, this, &form_Time::showLastTry);
    connect(&m_sync, &ClockSync::clockSet, this, &form_Time::showSet);
    connect(&m_sync, &ClockSync::failed, this, &form_Time::showFailure);
    connect(&m_sync, &ClockSync::checked, this, &form_Time::showMeasurements);
    connect(&m_sync, &ClockSync::serviceRead, this, &form_Time::showMeasurements);
    connect(&m_sync, &ClockSync::keptBySystem, this,
            [this](const ClockCheck &, bool synchronised, bool reported) { showKeptBySystem(synchronised, reported); });
    connect(&m_sync, &ClockSync::serviceTurnedOff, this, [](const std::optional<QString> &failure) {
        if (failure)
            platform::showMessage(QStringLiteral("The system's synchronisation stays on:\n\n") + *failure,
                                  QStringLiteral("Status"), platform::MsgIcon::Information);
    });
    connect(&m_sync, &ClockSync::scheduleStopped, this,
            [this] { label_NbrOfErrors->setText(QString::number(m_sync.errorCount())); });
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
    // Measuring sets nothing, so it is there whether or not the clock is synchronised.
    c_Check = named(new QPushButton(QStringLiteral("&Check")), "c_Check");
    c_Check->setToolTip(QStringLiteral("Measure how far off this clock is, without setting it"));
    label_Check = named(new QLabel, "label_Check");
    label_Check->setWordWrap(true);
    label_Service = named(new QLabel, "label_Service");
    label_Service->setWordWrap(true);
    c_TakeOver = named(new QPushButton(QStringLiteral("Let Atomic time set the clock (turn off the system's "
                                                      "synchronisation)")),
                       "c_TakeOver");
    correctLayout->addWidget(c_Check, 3, 0, Qt::AlignLeft);
    correctLayout->addWidget(label_Check, 4, 0, 1, 2);
    correctLayout->addWidget(label_Service, 5, 0, 1, 2);
    correctLayout->addWidget(c_TakeOver, 6, 0, 1, 2);
    label_Service->hide();
    c_TakeOver->hide();

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
    combo_Protocol = named(new QComboBox, "combo_Protocol");
    combo_Protocol->addItems({QStringLiteral("DAYTIME"), QStringLiteral("NTP")});
    combo_Protocol->setToolTip(QStringLiteral("DAYTIME (port 13) to the second, or NTP (port 123) to the "
                                              "millisecond"));
    dataLayout->addWidget(combo_Protocol, 1, 2);
    auto *offsetRow = new QHBoxLayout;
    offsetRow->addWidget(new QLabel(QStringLiteral("I am in a timezone")));
    offsetRow->addWidget(combo_HoursOff);
    offsetRow->addWidget(new QLabel(QStringLiteral("h from the timserver.")));
    offsetRow->addStretch();
    dataLayout->addLayout(offsetRow, 2, 0, 1, 3);

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
    label_LastOffset = named(new QLabel, "label_LastOffset");
    label_LastOffset->setWordWrap(true);
    historyLayout->addWidget(new QLabel(QStringLiteral("Last offset")), 3, 0);
    historyLayout->addWidget(label_LastOffset, 3, 1, 1, 2);
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
    connect(c_CheckNow, &QPushButton::clicked, this, &form_Time::c_CheckNow_Click);
    connect(c_Check, &QPushButton::clicked, this, &form_Time::c_Check_Click);
    connect(c_TakeOver, &QPushButton::clicked, this, &form_Time::c_TakeOver_Click);
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
    for (int i = 1; i <= int(ClockSync::timeServers().size()); ++i)
        combo_TimeServer->addItem(QStringLiteral("Timeserver %1").arg(i));
    combo_TimeServer->setCurrentIndex(0);
    label_NbrOfErrors->setText(QString::number(m_sync.errorCount()));

    const SettingsRecord &s = Settings();
    const int correct = s.ClockActive ? 1 : 0;
    option_Correct[correct]->setChecked(true);
    option_Correct_Click(correct);
    if (s.ClockPeriod >= 0 && s.ClockPeriod < combo_Time->count())
        combo_Time->setCurrentIndex(s.ClockPeriod);
    check_DateAlso->setChecked(s.ClockDateActive == 1);
    if (s.ClockTimeServer >= 0 && s.ClockTimeServer < combo_TimeServer->count())
        combo_TimeServer->setCurrentIndex(s.ClockTimeServer);
    label_LastTry->setText(momentText(s.ClockLastSyncTime));
    const auto [protocol, host] = splitProtocol(s.CustomTimeserver);
    text_CustomServer->setText(host);
    combo_Protocol->setCurrentIndex(int(protocol));
    const int server = s.UseCustomTimeserver ? 1 : 0;
    option_TimeServer[server]->setChecked(true);
    option_TimeServer_Click(server);
    combo_HoursOff->setCurrentText(QString::number(s.HoursOff));
    showMeasurements();
    m_sync.readService();

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
    combo_Protocol->setEnabled(Index == 1);
    combo_TimeServer->setEnabled(Index != 1);
}

QString form_Time::customServer() const
{
    return joinProtocol(TimeServerAddress::Protocol(combo_Protocol->currentIndex()), text_CustomServer->text());
}

std::optional<SyncRequest> form_Time::chosenRequest() const
{
    SyncRequest request{{}, combo_HoursOff->currentText(), check_DateAlso->isChecked()};
    const int index = combo_TimeServer->currentIndex();
    if (option_TimeServer[1]->isChecked())
        request.server = customServer();
    else if (index >= 0 && index < int(ClockSync::timeServers().size()))
        request.server = ClockSync::timeServers()[size_t(index)];
    else
        return std::nullopt;
    return request;
}

void form_Time::c_CheckNow_Click()
{
    if (const std::optional<SyncRequest> request = chosenRequest())
        m_sync.syncNow(*request);
}

void form_Time::c_Check_Click()
{
    if (const std::optional<SyncRequest> request = chosenRequest())
        m_sync.check(*request);
}

void form_Time::c_TakeOver_Click()
{
    const platform::MsgAnswer answer = platform::showMessage(
        QStringLiteral("The system's time service keeps this clock synchronised, and refuses to let another program "
                       "set it.\n\nTurn the system's synchronisation off, so that Atomic time sets the clock from "
                       "now on?"),
        QStringLiteral("Atomic time"), platform::MsgIcon::Question, platform::MsgButtons::YesNo,
        platform::MsgAnswer::No);
    if (answer == platform::MsgAnswer::Yes)
        m_sync.turnOffService();
}

void form_Time::c_Ok_Click()
{
    SettingsRecord &s = Settings();
    s.ClockActive = option_Correct[1]->isChecked();
    s.ClockPeriod = combo_Time->currentIndex();
    s.ClockDateActive = check_DateAlso->isChecked() ? 1 : 0;
    s.ClockTimeServer = combo_TimeServer->currentIndex();
    s.UseCustomTimeserver = option_TimeServer[1]->isChecked();
    s.CustomTimeserver = customServer();
    s.HoursOff = HoursOffset(combo_HoursOff->currentText()).value_or(s.HoursOff);
    saveSettings();
    m_sync.resumeSchedule();
    if (m_unfolded)
        c_Mera_Click();
    hide();
}

void form_Time::c_Cancel_Click()
{
    if (m_unfolded)
        c_Mera_Click();
    hide();
}

void form_Time::c_Mera_Click()
{
    m_unfolded = !m_unfolded;
    c_Mera->setText(m_unfolded ? Less : More);
    Frame1->setVisible(m_unfolded);
    // The heights the window has always had, or more where the desktop's fonts need it.
    const int wanted = toPixels(m_unfolded ? UnfoldedHeight : FoldedHeight);
    setMinimumHeight(0);
    adjustSize();
    resize(width(), std::max(wanted, sizeHint().height()));
}

void form_Time::c_Error_Click()
{
    platform::showMessage(m_lastError, QStringLiteral("Synchronization did not work last time because  "),
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

void form_Time::showSet(const QString &timeText, bool reported)
{
    label_Success->setText(QStringLiteral("worked ok..."));
    c_Error->hide();
    showLastTry();
    if (reported)
        platform::showMessage(QStringLiteral("New time : ") + timeText, QStringLiteral("Sync success"),
                              platform::MsgIcon::Information);
}

void form_Time::showFailure(const SyncFailure &failure, bool reported)
{
    label_NbrOfErrors->setText(QString::number(m_sync.errorCount()));
    label_Success->setText(QStringLiteral("did not work..."));
    c_Error->show();
    const int number =
        failure.kind == SyncFailure::Socket ? platform::socketErrorNumber(failure.socketError) : int(failure.kind);
    m_lastError = QStringLiteral("Error: ") + QString::number(number) + u"  " + failure.description;
    label_Error->setText(m_lastError);
    if (!reported)
        return;
    // Line breaks as the box has always had them: line feed, then carriage return.
    const QString lf = QStringLiteral("\n\r");
    if (failure.kind == SyncFailure::ClockNotSet) {
        // The server answered; what failed is this computer, and the box says so.
        platform::showMessage(QStringLiteral("The time server answered, but the clock could not be set:") + lf + lf +
                                  failure.description,
                              QStringLiteral("Status"), platform::MsgIcon::Information);
        return;
    }
    platform::showMessage(QStringLiteral("Could not contact a timeserver:") + lf + lf +
                              QStringLiteral("- Try another time server.") + lf +
                              QStringLiteral("- Are you connected to the internet ?") + lf +
                              QStringLiteral("- Maybe your company's firewall does not support time "
                                             "synchronization ? "),
                          QStringLiteral("Status"), platform::MsgIcon::Information);
}

void form_Time::showMeasurements()
{
    const std::optional<ClockCheck> &check = m_sync.lastCheck();
    label_Check->setText(check ? ClockSync::describe(*check) : QString());
    label_LastOffset->setText(check ? ClockSync::describe(*check) + QStringLiteral(", ") + momentText(check->at)
                                    : QString());
    const platform::SystemClockSetter::Service &service = m_sync.service();
    label_Service->setText(service.synchronised
                               ? QStringLiteral("The system keeps this clock synchronised: scheduled syncs only "
                                                "measure how far off it is.")
                               : QStringLiteral("The system's time service is on (not synchronised yet): scheduled "
                                                "syncs only measure how far off the clock is."));
    label_Service->setVisible(service.on);
    c_TakeOver->setVisible(service.on);
    // The window's layout sizes a wrapped line by its one-line hint, and would cut a measurement or the service's
    // note short: each asks for the height its lines take at its width, and the window grows to that.
    for (QLabel *label : {label_Check, label_Service, label_LastOffset})
        label->setMinimumHeight(label->text().isEmpty() ? 0 : label->heightForWidth(std::max(label->width(), 200)));
}

void form_Time::showKeptBySystem(bool synchronised, bool reported)
{
    showMeasurements();
    if (!reported)
        return;
    const ClockCheck &check = *m_sync.lastCheck();
    const qint64 size = std::abs(check.offsetMs);
    const QString offset =
        (check.offsetMs < 0 ? QStringLiteral("-") : QString()) +
        (check.toTheSecond ? QStringLiteral("%1 s").arg(size / 1000) : QStringLiteral("%1 ms").arg(size));
    platform::showMessage(
        (synchronised ? QStringLiteral("The system keeps this clock synchronised")
                      : QStringLiteral("The system's time service keeps this clock, though it has not synchronised "
                                       "it yet")) +
            QStringLiteral(" (offset %1 from %2)").arg(offset, check.server),
        QStringLiteral("Status"), platform::MsgIcon::Information);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The suite for bench/soak.sh: built and started exactly as app/main.cpp does, under a steady load.
//   soak_suite --minutes M --out DIR
// Before the suite exists it prepares its profile through the suite's own file code: settings with three mail
// accounts on a private Dovecot, checked every minute, "Atomic time" on 127.0.0.1, and M notes whose alarms ring
// once each, one a minute. While the suite runs it adds only what a user would do and what is counted:
// - every message box is answered with its default and logged;
// - "sync now.." in the clock window every five minutes, from 2.5 minutes on;
// - a new message in each mailbox every minute, half way between two checks;
// - counters: notes received ("soak note n" in the notes table), alarm notices, mail checks, syncs.
// The notes themselves come from another process (soak_sender) to the note port in TARNIBE_NOTE_PORT.
// DIR/ready appears once the suite listens; SIGTERM ends the suite the way a session end does, then
// DIR/summary.txt holds the counts (key=value) and DIR/events.log what happened when.
#include "Pop3TestServer.h"
#include "alarms/form_Notify.h"
#include "app/AppProgramHost.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/DateText.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "mail/form_NotifyMail.h"
#include "netnotes/NetNotes.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Note.h"
#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationWatcher.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

constexpr int Accounts = 3;
constexpr qint64 Minute = 60'000;
constexpr qint64 FirstSyncMs = 150'000;
constexpr qint64 SyncEveryMs = 300'000;
const QString NotePrefix = QStringLiteral("soak note ");
const QString AlarmPrefix = QStringLiteral("soak alarm ");

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// What happened, one line each, with the seconds since the suite started.
class EventLog {
public:
    void open(const QString &path)
    {
        m_file.setFileName(path);
        m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    }
    void start(qint64 ms) { m_start = ms; }
    void operator()(const QString &kind, const QString &detail)
    {
        const QString line =
            QStringLiteral("%1 %2 %3\n").arg((nowMs() - m_start) / 1000.0, 0, 'f', 3).arg(kind, detail);
        m_file.write(line.toUtf8());
        m_file.flush();
    }

private:
    QFile m_file;
    qint64 m_start = nowMs();
};

struct Counts {
    qint64 startMs = 0; // the suite's start sequence has run: its timers run from here
    qint64 endMs = 0;   // the termination signal came
    // notes
    int received = 0;
    int receivedDistinct = 0;
    int noteWindows = 0;
    // alarms
    std::map<QString, qint64> plannedAlarms; // note text -> the minute it is set for
    int rung = 0;
    QSet<QString> rungDistinct;
    int rungLate = 0; // outside the minute it was set for
    qint64 latestRingMs = 0;
    // mail
    std::array<int, Accounts> delivered{};
    int mailTicks = 0;
    int mailChecksOk = 0;
    int mailReported = 0;
    int mailSkipped = 0;
    // clock
    int syncClicks = 0;
    int syncSuccess = 0;
    int syncFailed = 0;
    qint64 lastSyncClickMs = 0;
    qint64 slowestSyncMs = 0;
    // boxes other than the sync's
    int otherBoxes = 0;
};

QString user(int account)
{
    return QStringLiteral("soak%1").arg(account + 1);
}

QString subject(int account, int number)
{
    return QStringLiteral("soak mail %1-%2").arg(account + 1).arg(number);
}

QByteArray message(int account, int number)
{
    return "From: Soak Sender <sender@soak.invalid>\r\nTo: " + user(account).toUtf8() +
           "@soak.invalid\r\nSubject: " + subject(account, number).toUtf8() +
           "\r\nDate: " + QDateTime::currentDateTimeUtc().toString(Qt::RFC2822Date).toUtf8() + "\r\nMessage-ID: <" +
           QByteArray::number(nowMs()) + "." + QByteArray::number(account) +
           "@soak.invalid>\r\n\r\nA message a minute.\r\n";
}

// Settings as the suite writes them, then forgotten, so that the suite's own start reads them from the file.
void writeSettings(quint16 popPort)
{
    SettingsRecord &s = Settings();
    s.StartNotes = s.StartClock = s.StartCalc = s.StartEmail = 1;
    s.AcceptNotes = true;
    s.ShowContainer = true;
    s.PlaySound = true;
    s.NoteSender = QStringLiteral("soak");
    s.ClockActive = true;
    s.ClockDateActive = 0;
    s.UseCustomTimeserver = true;
    s.CustomTimeserver = QStringLiteral("127.0.0.1");
    s.HoursOff = 0;
    // Synced just now: the scheduler stays quiet, and every sync is one of the soak's.
    s.ClockLastSyncTime = QDateTime::currentDateTime();
    s.NbrofAccounts = Accounts;
    for (int i = 0; i < Accounts; ++i) {
        s.POPServer[size_t(i)] = QStringLiteral("127.0.0.1:%1").arg(popPort);
        s.UserName[size_t(i)] = user(i);
        s.PassWord[size_t(i)] = QStringLiteral("secret%1").arg(i + 1);
    }
    s.CheckTime = QStringLiteral("1");
    saveSettings();
    ResetSettings();
}

// One note per minute of the soak, each ringing once, from the first whole minute at least 40 s away.
void writeAlarmNotes(int minutes, Counts &counts)
{
    const QDateTime now = QDateTime::currentDateTime();
    QDateTime first(now.date(), QTime(now.time().hour(), now.time().minute()));
    first = first.addSecs(60);
    if (now.secsTo(first) < 40)
        first = first.addSecs(60);
    QList<NoteRecord> notes;
    for (int k = 0; k < minutes; ++k) {
        const QDateTime at = first.addSecs(60 * k);
        NoteRecord note;
        note.text = AlarmPrefix + QString::number(k + 1) + u" at " + at.toString(Qt::ISODate);
        note.left = 300 + (k % 10) * 400;
        note.top = 300 + (k / 10) * 400;
        note.width = note.oldWidth = 1710;
        note.height = note.oldHeight = 1320;
        note.alarmDate = formatDate(at.date());
        note.alarmTime = at.time().toString(QStringLiteral("HH:mm"));
        note.alarmRepeat = QStringLiteral("0"); // once
        note.created = formatDate(now.date()) + u"  " + formatTime(now.time());
        notes.append(note);
        counts.plannedAlarms[note.text] = at.toMSecsSinceEpoch();
    }
    writeNotesFile(NotesFilePath(), NotesBackupPath(), notes);
}

// The alarm notice is the suite's own window: each show is one ring, read once its text is in.
class NoticeWatch : public QObject {
public:
    NoticeWatch(Counts &counts, EventLog &log) : m_counts(counts), m_log(log) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            if (auto *notice = qobject_cast<form_Notify *>(watched))
                QTimer::singleShot(0, notice, [this, notice] { rang(notice); });
        return false;
    }

private:
    void rang(form_Notify *notice)
    {
        const qint64 now = nowMs();
        const QString text = notice->text();
        ++m_counts.rung;
        m_counts.rungDistinct.insert(text);
        m_counts.latestRingMs = now;
        const auto planned = m_counts.plannedAlarms.find(text);
        QString when = QStringLiteral("unplanned");
        if (planned != m_counts.plannedAlarms.end()) {
            const qint64 late = now - planned->second;
            if (late < 0 || late >= Minute)
                ++m_counts.rungLate;
            when = QStringLiteral("%1 s after its minute began").arg(late / 1000.0, 0, 'f', 1);
        }
        m_log(QStringLiteral("ALARM"), text + u" | " + notice->caption() + u" | " + when);
    }

    Counts &m_counts;
    EventLog &m_log;
};

// The notes that came over the network, as the suite's notes table holds them.
void countReceived(Counts &counts)
{
    QSet<int> numbers;
    int received = 0;
    for (int i = 1; i <= NoteStore().count(); ++i) {
        const QString &text = NoteStore().record(i)->text;
        if (text.startsWith(NotePrefix)) {
            ++received;
            numbers.insert(text.mid(NotePrefix.size()).toInt());
        }
    }
    counts.received = received;
    counts.receivedDistinct = int(numbers.size());
    counts.noteWindows = NoteStore().count();
}

// How many ticks of a timer that first fires `first` ms after the start and then every `period` ms have come
// after `elapsed` ms: the fewest and the most, which differ where the end fell within 2 s of a tick.
struct TickRange {
    int least = 0;
    int most = 0;
};
TickRange ticksIn(qint64 elapsed, qint64 first, qint64 period)
{
    const auto count = [first, period](qint64 at) { return at < first ? 0 : int((at - first) / period) + 1; };
    return {count(elapsed - 2000), count(elapsed + 2000)};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnibe"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    QApplication::setDesktopFileName(QStringLiteral("tarnibe"));
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList args = QCoreApplication::arguments();
    const int minutes = args.value(args.indexOf(QStringLiteral("--minutes")) + 1).toInt();
    const QString out = args.value(args.indexOf(QStringLiteral("--out")) + 1);
    if (minutes <= 0 || out.isEmpty() || !QDir(out).exists()) {
        std::fprintf(stderr, "usage: soak_suite --minutes M --out EXISTING-DIR\n");
        return 2;
    }
    Counts counts;
    EventLog log;
    log.open(out + u"/events.log");

    // The load beside the suite: Dovecot, before the suite's settings can name its port.
    if (!DovecotServer::installed()) {
        std::fprintf(stderr, "soak_suite: %s is missing (scripts/install-deps.sh test)\n",
                     qPrintable(DovecotServer::Binary));
        return 1;
    }
    DovecotServer dovecot(false);
    for (int i = 0; i < Accounts; ++i)
        dovecot.addUser(user(i), QStringLiteral("secret%1").arg(i + 1));
    QString why;
    if (!dovecot.start(&why)) {
        std::fprintf(stderr, "soak_suite: %s\n", qPrintable(why));
        return 1;
    }
    writeSettings(dovecot.plainPort);
    writeAlarmNotes(minutes, counts);

    platform::setMessageResponder([&](const platform::MessageRequest &box) {
        const QString text = QString(box.text).replace(u'\n', u' ').replace(u'\r', u' ');
        if (box.title == u"Sync success") {
            ++counts.syncSuccess;
        } else if (box.title == u"Status") {
            ++counts.syncFailed;
        } else {
            ++counts.otherBoxes;
        }
        if (counts.lastSyncClickMs > 0 && (box.title == u"Sync success" || box.title == u"Status")) {
            counts.slowestSyncMs = std::max(counts.slowestSyncMs, nowMs() - counts.lastSyncClickMs);
            counts.lastSyncClickMs = 0;
        }
        log(QStringLiteral("BOX"), box.title + u" | " + text);
        return box.defaultAnswer;
    });

    // From here on as app/main.cpp.
    platform::SingleInstance instance;
    if (!instance.acquire()) {
        std::fprintf(stderr, "soak_suite: another Tarnibe runs with this profile\n");
        return 1;
    }
    AppProgramHost host;
    form_Tarnibe controlPanel(host);
    host.attach(controlPanel);
    QObject::connect(&instance, &platform::SingleInstance::showRequested, &controlPanel,
                     &form_Tarnibe::showControlPanel);
    platform::TerminationWatcher terminationWatcher;
    terminationWatcher.start();
    // Counted before the session end unloads the notes.
    QObject::connect(&terminationWatcher, &platform::TerminationWatcher::terminationRequested, &app, [&](int signal) {
        counts.endMs = nowMs();
        countReceived(counts);
        log(QStringLiteral("END"), QStringLiteral("signal %1, %2 notes received (%3 different), %4 note windows")
                                       .arg(signal)
                                       .arg(counts.received)
                                       .arg(counts.receivedDistinct)
                                       .arg(counts.noteWindows));
    });
    QObject::connect(&terminationWatcher, &platform::TerminationWatcher::terminationRequested, &controlPanel,
                     [&host] { host.endSession(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controlPanel,
                     [&host](QSessionManager &) { host.endSession(); });
    NoticeWatch noticeWatch(counts, log);
    app.installEventFilter(&noticeWatch);

    controlPanel.Form_Load();
    counts.startMs = nowMs();
    log.start(counts.startMs);
    log(QStringLiteral("START"),
        QStringLiteral("%1 alarms planned, Dovecot on %2").arg(minutes).arg(dovecot.plainPort));

    // Mail: a message into every mailbox half way between the checks, which the suite's timer runs every minute
    // from its start; after each check, what it found.
    auto *mail = static_cast<form_NotifyMail *>(host.owner(Program::Email));
    QTimer deliveries;
    const auto deliver = [&] {
        for (int i = 0; i < Accounts; ++i) {
            const int number = counts.delivered[size_t(i)] + 1;
            if (dovecot.deliver(user(i), message(i, number)).isEmpty())
                log(QStringLiteral("DELIVER-FAILED"), user(i));
            else
                counts.delivered[size_t(i)] = number;
        }
        log(QStringLiteral("DELIVER"), QStringLiteral("message %1 to each mailbox").arg(counts.delivered[0]));
    };
    QObject::connect(&deliveries, &QTimer::timeout, &app, deliver);
    QTimer::singleShot(Minute / 2, &app, [&] {
        deliveries.start(int(Minute));
        deliver();
    });
    // Whether a check started at an earlier tick still runs. The checks run while events go on, so a tick can
    // come in the middle of one.
    bool checkRunning = false;
    QObject::connect(&mail->timer_CheckMail, &QTimer::timeout, mail, [&] {
        ++counts.mailTicks;
        if (checkRunning) {
            ++counts.mailSkipped;
            log(QStringLiteral("MAIL"), QStringLiteral("tick while a check still runs"));
        }
        // Connected after the suite's own handler: a check this tick started runs already.
        checkRunning = mail->isChecking();
    });
    // Connected after the notice's own handler, so this runs once it has shown what the check found.
    QObject::connect(&mail->engine(), &MailCheck::finished, mail, [&] {
        checkRunning = false;
        bool counted = mail->engine().allOk();
        bool reported = true;
        QString seen;
        const QString notice = mail->text_Display->toPlainText();
        for (int i = 0; i < Accounts; ++i) {
            const int have = mail->engine().mailboxes[size_t(i)].lastCount;
            const int delivered = counts.delivered[size_t(i)];
            seen += QStringLiteral(" %1/%2").arg(have).arg(delivered);
            counted = counted && have == delivered;
            // New mail since the check before: the notice is up and names the newest message.
            reported = reported && (delivered == 0 || (mail->isVisible() && notice.contains(subject(i, delivered))));
        }
        if (counted)
            ++counts.mailChecksOk;
        if (counted && reported)
            ++counts.mailReported;
        log(QStringLiteral("MAIL"),
            QStringLiteral("all answered: %1, seen/delivered:%2, notice: %3")

                .arg(mail->engine().allOk() ? QStringLiteral("yes") : QStringLiteral("no"), seen,
                     reported ? QStringLiteral("names the newest") : QStringLiteral("missing the newest")));
    });

    // "sync now.." every five minutes, from 2.5 minutes on; its box tells how it went.
    auto *clock = static_cast<form_GhostTime *>(host.owner(Program::Clock));
    QTimer syncs;
    const auto syncNow = [&] {
        form_Time *window = clock->timeWindow();
        if (!window) {
            log(QStringLiteral("SYNC"), QStringLiteral("no clock window"));
            return;
        }
        ++counts.syncClicks;
        counts.lastSyncClickMs = nowMs();
        log(QStringLiteral("SYNC"), QStringLiteral("sync now.. number %1").arg(counts.syncClicks));
        window->c_CheckNow_Click();
    };
    QObject::connect(&syncs, &QTimer::timeout, &app, syncNow);
    QTimer::singleShot(int(FirstSyncMs), &app, [&] {
        syncs.start(int(SyncEveryMs));
        syncNow();
    });

    // A line a minute with the running counts.
    QTimer tally;
    QObject::connect(&tally, &QTimer::timeout, &app, [&] {
        countReceived(counts);
        log(QStringLiteral("MINUTE"), QStringLiteral("received %1 (%2 different), alarms rung %3, mail checks %4 of %5 "
                                                     "ticks, syncs %6 ok %7 failed of %8")
                                          .arg(counts.received)
                                          .arg(counts.receivedDistinct)
                                          .arg(counts.rung)
                                          .arg(counts.mailChecksOk)
                                          .arg(counts.mailTicks)
                                          .arg(counts.syncSuccess)
                                          .arg(counts.syncFailed)
                                          .arg(counts.syncClicks));
    });
    tally.start(int(Minute));

    // Ready once notes can arrive; the soak ends once the last alarm has had its minute and the notes their time.
    const qint64 lastAlarm = counts.plannedAlarms.empty()
                                 ? 0
                                 : std::max_element(counts.plannedAlarms.begin(), counts.plannedAlarms.end(),
                                                    [](const auto &a, const auto &b) { return a.second < b.second; })
                                       ->second;
    const qint64 plannedEnd = std::max(counts.startMs + minutes * Minute + 5000, lastAlarm + 20'000);
    {
        QFile ready(out + u"/ready.tmp");
        ready.open(QIODevice::WriteOnly);
        ready.write(QStringLiteral("listening=%1\nstart_ms=%2\nend_ms=%3\nalarms_planned=%4\nlast_alarm_ms=%5\n"
                                   "pop3_port=%6\n")
                        .arg(host.netNotes()->receiver.isListening() ? 1 : 0)
                        .arg(counts.startMs)
                        .arg(plannedEnd)
                        .arg(counts.plannedAlarms.size())
                        .arg(lastAlarm)
                        .arg(dovecot.plainPort)
                        .toUtf8());
        ready.close();
        ready.rename(out + u"/ready");
    }

    const int status = app.exec();

    // What the counts should be for the time the suite ran.
    const qint64 elapsed = (counts.endMs ? counts.endMs : nowMs()) - counts.startMs;
    const TickRange mailExpected = ticksIn(elapsed, Minute, Minute);
    const TickRange syncExpected = ticksIn(elapsed, FirstSyncMs, SyncEveryMs);
    int alarmsDue = 0;
    for (const auto &[text, at] : counts.plannedAlarms)
        if (at + 2000 < counts.startMs + elapsed)
            ++alarmsDue;
    const QString logins = dovecot.log();
    qsizetype loginCount = 0;
    for (int i = 0; i < Accounts; ++i)
        loginCount += dovecot.logins(user(i));
    dovecot.stop();
    QFile dovecotLog(out + u"/dovecot.log");
    if (dovecotLog.open(QIODevice::WriteOnly))
        dovecotLog.write(logins.toUtf8());

    QFile summary(out + u"/summary.txt");
    summary.open(QIODevice::WriteOnly | QIODevice::Text);
    const auto put = [&summary](const char *key, qint64 value) {
        summary.write(QByteArray(key) + '=' + QByteArray::number(value) + '\n');
    };
    put("exit_status", status);
    put("start_ms", counts.startMs);
    put("end_ms", counts.endMs);
    put("elapsed_ms", elapsed);
    put("notes_received", counts.received);
    put("notes_received_distinct", counts.receivedDistinct);
    put("note_windows", counts.noteWindows);
    put("alarms_planned", qint64(counts.plannedAlarms.size()));
    put("alarms_due", alarmsDue);
    put("alarms_rung", counts.rung);
    put("alarms_rung_distinct", counts.rungDistinct.size());
    put("alarms_rung_outside_their_minute", counts.rungLate);
    put("mail_ticks", counts.mailTicks);
    put("mail_checks_ok", counts.mailChecksOk);
    put("mail_checks_reported_new", counts.mailReported);
    put("mail_ticks_skipped", counts.mailSkipped);
    put("mail_checks_expected_least", mailExpected.least);
    put("mail_checks_expected_most", mailExpected.most);
    put("mail_delivered_each", counts.delivered[0]);
    put("dovecot_logins", loginCount);
    put("syncs_clicked", counts.syncClicks);
    put("syncs_succeeded", counts.syncSuccess);
    put("syncs_failed", counts.syncFailed);
    put("syncs_expected_least", syncExpected.least);
    put("syncs_expected_most", syncExpected.most);
    put("sync_slowest_ms", counts.slowestSyncMs);
    put("other_boxes", counts.otherBoxes);
    return status;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// What a user hears: the real program plays to a sound server of its own (with_sound.sh) whose only sink is recorded.
// A new note, a deletion and an alarm falling due are heard; "Sound on" unticked in the Control center silences them.
#include "Desktop.h"

#include <QTest>
#include <QTimeZone>
#include <climits>

using namespace Qt::StringLiterals;

namespace {

// Samples of the recording: the null sink's silence is exactly 0, the suite's sounds peak near half the range.
constexpr int Audible = 1000;
constexpr int Quiet = 50;
const QPoint MenuIcon(9, 7);

// The suite with one stored note, "Dentist", on a desktop in `zone` (German where it is not this computer's), and the
// sink's monitor recorded to a file from the start.
struct Scene : Desktop {
    QList<QRect> icons;
    qulonglong dentist = 0;
    QTimeZone zone;

    explicit Scene(const QByteArray &zoneId = {})
        : zone(zoneId.isEmpty() ? QTimeZone::systemTimeZone() : QTimeZone(zoneId))
    {
        if (!ready() || !recordSound())
            return;
        const QString tz = u"TZ="_s + QString::fromLatin1(zoneId);
        startNotes({storedNote(u"Dentist"_s, true)},
                   zoneId.isEmpty() ? QStringList() : QStringList{tz, u"LC_ALL=de_DE.UTF-8"_s, u"LANGUAGE=de"_s});
        icons = waitTrayIcons(1);
        if (!icons.isEmpty() && waitWindow(u"^Container$"_s))
            dentist = waitWindow(u"^Note$"_s);
    }

    // Once the last sound has died away (a fifth of a second of silence), does `act` and listens for 2.5 s, or until
    // something is clearly heard: the peak, nothing when the action itself failed.
    std::optional<int> peakOf(const std::function<bool()> &act)
    {
        waitFor([this] { return peakSince(recorded() - SoundRate * 2 / 5) < Quiet; }, 5000);
        const qint64 from = recorded();
        if (!act())
            return std::nullopt;
        int peak = 0;
        waitFor([&] { return (peak = peakSince(from)) > Audible; }, 2500);
        return peak;
    }

    QList<qulonglong> notes() const { return search({u"--name"_s, u"^Note$"_s}); }
    // A left click on the notes icon; the new note's window, 0 when none came.
    qulonglong newNote()
    {
        const qsizetype before = notes().size();
        click(icons[0].center());
        return waitFor([&] { return notes().size() > before; }, 5000) ? notes().last() : 0;
    }
    bool deleteNote(qulonglong note)
    {
        return chooseFromMenu(geometry(note).topLeft() + MenuIcon, u"d"_s, 1) &&
               waitFor([&] { return !isViewable(note); }, 3000);
    }
    // "Set alarmtime" on Dentist for the present minute, then OK: the notice comes up within a tick.
    bool ringAlarm()
    {
        // Far enough from the minute's end that the alarm is not in the past once it is saved, nor set for a minute
        // of tomorrow on today's date.
        const auto now = [this] { return QDateTime::currentDateTimeUtc().toTimeZone(zone).time(); };
        while (now().second() > 45)
            pause(500);
        const QTime minute = now();
        const qulonglong editor =
            chooseFromMenu(geometry(dentist).topLeft() + MenuIcon, u"e"_s, 1) ? waitWindow(u"^Alarm$"_s, 5000) : 0;
        if (!editor)
            return false;
        // Once it holds still: the window manager and the centring may still move a window that just showed.
        const QPoint client = settledGeometry(editor).topLeft();
        for (const auto &[at, value] :
             {std::pair{QPoint(52, 238), minute.hour()}, std::pair{QPoint(84, 238), minute.minute()}}) {
            click(client + at);
            key(u"ctrl+a"_s);
            type(QString::number(value));
        }
        click(client + QPoint(407, 249)); // OK
        return waitFor([&] { return !isViewable(editor); }, 3000) && waitWindow(u"^Alarm$"_s, 15000);
    }
    // Properties > Sound on in the Control center, through its menu bar's keys, and the panel closed again.
    bool toggleSound()
    {
        const qulonglong panel =
            chooseFromMenu(icons[0].center(), u"t"_s) ? waitWindow(u"^Control center$"_s, 5000) : 0;
        if (!panel || !waitFor([&] { return activeWindow() == panel; }, 3000))
            return false;
        const QList<qulonglong> before = windowsOfClass(u"tarnibe"_s);
        key(u"alt+p"_s);
        const qulonglong menu = waitNewWindow(before);
        key(u"s"_s);
        if (!menu || !waitFor([&] { return !isViewable(menu); }, 3000))
            return false;
        key(u"alt+F4"_s);
        return waitFor([&] { return !isViewable(panel); }, 3000);
    }
};

class tst_DesktopSound : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newNoteDeletionAndAlarmAreHeard()
    {
        Scene scene;
        QVERIFY2(scene.dentist, qPrintable(u"no note or no recording: "_s + scene.error()));
        qulonglong note = 0;
        QCOMPARE_GT(scene.peakOf([&] { return (note = scene.newNote()) != 0; }).value_or(-1), Audible);
        QCOMPARE_GT(scene.peakOf([&] { return scene.deleteNote(note); }).value_or(-1), Audible);
        QCOMPARE_GT(scene.peakOf([&] { return scene.ringAlarm(); }).value_or(-1), Audible);
    }

    // Heard at first, so that the silence after is the setting's, not a sound server's that went away; an action that
    // failed counts as loud. On a German desktop a quarter hour off the hour, where the alarm's minute is another.
    void soundOffInTheControlCenterSilencesThem()
    {
        Scene scene("Asia/Kathmandu");
        QVERIFY2(scene.dentist, qPrintable(u"no note or no recording: "_s + scene.error()));
        QCOMPARE_GT(scene.peakOf([&] { return scene.newNote() != 0; }).value_or(-1), Audible);
        QVERIFY2(scene.toggleSound(), "the Control center's Properties menu was not reached");
        qulonglong note = 0;
        QCOMPARE_LT(scene.peakOf([&] { return (note = scene.newNote()) != 0; }).value_or(INT_MAX), Quiet);
        QCOMPARE_LT(scene.peakOf([&] { return scene.deleteNote(note); }).value_or(INT_MAX), Quiet);
        QCOMPARE_LT(scene.peakOf([&] { return scene.ringAlarm(); }).value_or(INT_MAX), Quiet);
        // And it stays off: the end of the session stores it.
        QVERIFY(scene.terminate() >= 0);
        QCOMPARE(scene.readSetting(u"PlaySound"_s), u"False"_s);
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopSound)
#include "tst_DesktopSound.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteFile.h"
#include "notes/NoteRecord.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A desktop of its own for one test, which with_desktop.sh --tray runs on an Xvfb display that was free with a
// private session bus, the window manager and the panel with the system tray that TARNIBE_DESKTOP chooses: a fresh
// home folder, and the real tarnibe on that desktop. Input goes in through xdotool as a user's would (the X server's
// XTest), windows are found by name and measured with xwininfo.
class Desktop {
public:
    // `tray`: the desktop has a panel with a tray (with_desktop.sh --tray); without, the suite finds none.
    explicit Desktop(bool tray = true);
    ~Desktop();
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // The desktop with_desktop.sh started: openbox, xfce, kwin or mutter.
    QString name() const { return m_name; }
    // False when the display, the window manager or the tray did not come up; error() says why.
    bool ready() const { return m_ready; }
    QString error() const { return m_error; }

    // The fresh home's files; notes files through the suite's own codec (nothing when one is torn).
    QByteArray readData(const QString &name) const;
    std::optional<QList<NoteRecord>> readNotes(const QString &name = QStringLiteral("notes.dat")) const;
    void writeNotes(const QString &name, const QList<NoteRecord> &notes) const;
    // Writes Settings keys before the start: which programs start, for one.
    void writeSettings(const QMap<QString, QString> &values) const;
    // A Settings key as the settings file holds it now.
    QString readSetting(const QString &key) const;
    // One mail account, "ann" with `password`, at a POP3 server on this computer's `port`, checked every
    // `checkTime` minutes; only the mail program starts unless `everyProgram`. The notes file is an empty one.
    // `andBob`: a second account, "bob", at the same server, whose password is not in the file.
    void writeMailAccount(quint16 port, const QString &password, const QString &checkTime, bool everyProgram,
                          bool andBob = false) const;

    // Starts tarnibe with the home's folders, on xcb; extra environment entries are NAME=value, or NAME= to unset.
    QProcess *startSuite(const QStringList &environment = {});
    // Starts the notes program alone (unless `settings` say otherwise) on these notes.
    QProcess *startNotes(const QList<NoteRecord> &notes = {}, const QStringList &environment = {},
                         const QMap<QString, QString> &settings = {});
    QProcess *suite() const { return m_suite; }
    // A system bus of the desktop's own with python3-dbusmock's stand-in for systemd-timedated, whose properties
    // `timedated` sets (JSON, as dbusmock's -p); its calls are logged to timedatedLog(). Gives the
    // DBUS_SYSTEM_BUS_ADDRESS entry for startSuite, or nothing where the bus or the stand-in did not come up.
    QString startSystemBus(const QString &timedated);
    QString timedatedLog() const { return m_root.path() + QStringLiteral("/timedated.log"); }
    // Waits until the suite shows `count` tray icons, in the order they were made: XEmbed icons by their window ids,
    // which grow, those a StatusNotifierItem host draws by the numbers the suite gave its items.
    QList<QRect> waitTrayIcons(int count, int timeoutMs = 15000);
    bool suiteEnded(int timeoutMs)
    {
        return m_suite && (m_suite->state() == QProcess::NotRunning || m_suite->waitForFinished(timeoutMs));
    }
    // Sends SIGTERM; how long the suite took to end, -1 when it did not within 5 s.
    qint64 terminate();

    // Starts a program of the desktop's own beside the suite (a compositor, say), ended with the desktop.
    QProcess *startHelper(const QString &program, const QStringList &arguments) { return spawn(program, arguments); }
    QString runtimeDir() const { return m_root.path() + QStringLiteral("/runtime"); }

    // What the sound server's sink plays (with_sound.sh), recorded from its monitor from now on as 16-bit mono at
    // SoundRate; false when no server is there or nothing was recorded within a few seconds.
    bool recordSound();
    static constexpr int SoundRate = 22050;
    // Bytes recorded so far (whole samples), and the loudest sample (0 to 32767) since byte `from`.
    qint64 recorded() const;
    int peakSince(qint64 from) const;

    // Runs a program on this display and returns its standard output ("" on failure).
    QString run(const QString &program, const QStringList &arguments, int timeoutMs = 10000) const;
    QString xdotool(const QStringList &arguments) const { return run(QStringLiteral("xdotool"), arguments); }

    // The first viewable top-level window whose title matches the regular expression, 0 when none within the time.
    qulonglong waitWindow(const QString &titlePattern, int timeoutMs = 10000) const
    {
        return waitSearch({QStringLiteral("--name"), titlePattern}, {}, timeoutMs);
    }
    // The visible windows xdotool finds with these criteria ("--name", "^Note$", say), by window id.
    QList<qulonglong> search(const QStringList &criteria) const;
    // Every viewable window (at any depth) of this process whose class is `className`, by window id.
    QList<qulonglong> windowsOfClass(const QString &className) const
    {
        return search({QStringLiteral("--classname"), className});
    }
    // A window of the suite's that is not in `before` (a menu that opened, say), 0 when none came within the time.
    qulonglong waitNewWindow(const QList<qulonglong> &before, int timeoutMs = 3000) const
    {
        return waitSearch({QStringLiteral("--classname"), QStringLiteral("tarnibe")}, before, timeoutMs);
    }
    bool isViewable(qulonglong window) const
    {
        return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)})
            .contains(QStringLiteral("Map State: IsViewable"));
    }
    // Minimised (iconic), as the window manager says; a compositing one keeps such windows mapped.
    bool isMinimized(qulonglong window) const
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), QString::number(window), QStringLiteral("WM_STATE")})
            .contains(QStringLiteral("Iconic"));
    }
    // Outer geometry on the screen, in pixels, as X reports it for the client window.
    QRect geometry(qulonglong window) const;
    // The same with the frame the window manager drew around it (_NET_FRAME_EXTENTS), the client's alone when none.
    QRect frameGeometry(qulonglong window) const;
    QPoint pointer() const;
    // The window's place once it has held still for half a second (a window manager places a window that just
    // showed, and the suite centres it again by its frame once that is known), or as it is after 5 s.
    QRect settledGeometry(qulonglong window) const
    {
        QRect last = geometry(window);
        int still = 0;
        waitFor(
            [&] {
                const QRect now = geometry(window);
                still = now == last ? still + 1 : 0;
                last = now;
                return still >= 10;
            },
            5000);
        return last;
    }
    qulonglong activeWindow() const { return xdotool({QStringLiteral("getactivewindow")}).trimmed().toULongLong(); }

    // Clicks where a menu opens (a note's menu icon, say) and returns the menu's window once it is up, 0 if none.
    qulonglong openMenu(QPoint at, int button = 1) const;
    // Opens the menu at `at` and picks an item by its key; false when no menu came.
    bool chooseFromMenu(QPoint at, const QString &key, int button = 3) const;

    // What the screen shows in `area`: a digest of its pixels and how many are dark, "<sha1> <dark>".
    QString pixels(const QRect &area) const;

    void moveTo(QPoint p) const
    {
        xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }
    void click(QPoint p, int button = 1) const;
    void doubleClick(QPoint p) const;
    void press(QPoint p, int button = 1) const;
    void release(int button = 1) const { xdotool({QStringLiteral("mouseup"), QString::number(button)}); }
    // Presses at `from`, moves to `to` in small steps as a hand would, releases.
    void drag(QPoint from, QPoint to) const;
    void type(const QString &text) const;
    // Keys pressed one after the other, separated by blanks: "Tab Down Return".
    void key(const QString &keys) const { xdotool(QStringList{QStringLiteral("key")} + keys.split(u' ')); }

    // Polls `condition` every 50 ms, letting Qt's own events run, until it holds or the time is up.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);
    static void pause(int ms);

private:
    QString dataPath(const QString &name) const { return m_root.path() + QStringLiteral("/data/Tarnibe/") + name; }
    QString recordingPath() const { return m_root.path() + QStringLiteral("/sink.raw"); }
    QString settingsPath() const { return m_root.path() + QStringLiteral("/config/Tarnibe/Tarnibe.conf"); }
    // Extra environment entries are NAME=value, or NAME= to unset.
    QProcess *spawn(const QString &program, const QStringList &arguments, const QStringList &extra = {});
    QProcessEnvironment environment() const;
    // The newest window found with `criteria` that is not in `except`, 0 when none came within the time.
    qulonglong waitSearch(const QStringList &criteria, const QList<qulonglong> &except, int timeoutMs) const;

    // The tray icons on screen now.
    QList<QRect> trayIcons() const;

    QTemporaryDir m_root;
    QString m_name;
    bool m_ready = false;
    QString m_error;
    qulonglong m_panel = 0;
    QString m_panelClass = QStringLiteral("trayer");
    // The classes of the windows a menu of the suite's icons may open in.
    QString m_menuClasses = QStringLiteral("^tarnibe$");
    // Whether the panel draws the suite's icons itself when the suite offers StatusNotifierItems, and whether it
    // lays them out in the order they reached it rather than in an order it keeps.
    bool m_drawsItems = false;
    bool m_inArrivalOrder = false;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess *m_suite = nullptr;
};

// A note as a user's notes.dat holds it: 114 × 88 pixels at (100, 100), clear of the container.
NoteRecord storedNote(const QString &text, bool visible);

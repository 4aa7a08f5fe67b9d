// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"

#include "core/Password.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QtEndian>
#include <csignal>

using namespace Qt::StringLiterals;

Desktop::Desktop(bool tray)
{
    if (!m_root.isValid()) {
        m_error = u"no temporary folder"_s;
        return;
    }
    for (const char *name : {"home", "config", "data", "runtime", "cache"})
        QDir(m_root.path()).mkpath(QString::fromLatin1(name));
    QFile::setPermissions(m_root.path() + u"/runtime"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The display, the bus, the window manager and the panel are with_desktop.sh's; TARNIBE_DESKTOP says which.
    m_name = qEnvironmentVariable("TARNIBE_DESKTOP", u"openbox"_s);
    if (m_name == u"xfce"_s) {
        // The notification area runs as a plugin of its own; its menus are that process's windows.
        m_panelClass = u"Xfce4-panel"_s;
        m_menuClasses = u"^(tarnibe|wrapper-2\\.0)$"_s;
        m_drawsItems = true;
    } else if (m_name == u"kwin"_s) {
        m_panelClass = u"lxqt-panel"_s;
        m_menuClasses = u"^(tarnibe|lxqt-panel)$"_s;
        m_drawsItems = true;
        m_inArrivalOrder = true;
    }
    if (!tray) {
        m_ready = true;
        return;
    }
    // The panel is the window of its class on the bottom edge; a panel has hidden windows of that class besides.
    int bottom = -1;
    waitFor(
        [&] {
            // Asked again while unanswered: xdotool may fail under load, as the panel may still be finding its place.
            if (bottom < 0)
                bottom = xdotool({u"getdisplaygeometry"_s}).simplified().section(u' ', 1).toInt() - 1;
            for (qulonglong window : search({u"--class"_s, u"^"_s + m_panelClass + u"$"_s}))
                if (const QRect at = geometry(window); at.bottom() == bottom && at.height() <= 64)
                    m_panel = window;
            return m_panel != 0;
        },
        10000);
    m_ready = m_panel != 0;
    m_error = m_ready ? QString() : u"no desktop with a tray: run it under with_desktop.sh --tray"_s;
}

Desktop::~Desktop()
{
    // The last started first: the suite before the programs of the desktop it was started on.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        (*it)->kill();
        (*it)->waitForFinished(3000);
    }
}

QProcess *Desktop::spawn(const QString &program, const QStringList &arguments, const QStringList &extra)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = environment();
    for (const QString &entry : extra) {
        // "NAME=" takes the variable away, as on a desktop that does not set it.
        if (entry.endsWith(u'='))
            env.remove(entry.chopped(1));
        else
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    }
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(m_root.path() + u"/home"_s);
    process->start(program, arguments);
    process->waitForStarted(5000);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = m_root.path();
    env.insert(u"HOME"_s, root + u"/home"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, root + u"/config"_s);
    env.insert(u"XDG_DATA_HOME"_s, root + u"/data"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, root + u"/runtime"_s);
    env.insert(u"XDG_CACHE_HOME"_s, root + u"/cache"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.remove(u"SESSION_MANAGER"_s);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    return env;
}

QByteArray Desktop::readData(const QString &name) const
{
    QFile file(dataPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<QList<NoteRecord>> Desktop::readNotes(const QString &name) const
{
    const DecodedNotes decoded = decodeNotes(readData(name));
    return decoded.failure ? std::nullopt : std::optional<QList<NoteRecord>>(decoded.notes);
}

void Desktop::writeNotes(const QString &name, const QList<NoteRecord> &notes) const
{
    QDir().mkpath(QFileInfo(dataPath(name)).path());
    QFile file(dataPath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(encodeNotes(notes));
}

void Desktop::writeMailAccount(quint16 port, const QString &password, const QString &checkTime, bool everyProgram,
                               bool andBob) const
{
    const QString others = everyProgram ? u"1"_s : u"0"_s;
    const QString server = u"127.0.0.1:"_s + QString::number(port);
    writeSettings({{u"StartNotes"_s, others},
                   {u"StartCalc"_s, others},
                   {u"StartClock"_s, others},
                   {u"StartEmail"_s, u"1"_s},
                   {u"NbrofAccounts"_s, andBob ? u"2"_s : u"1"_s},
                   {u"POPServer"_s, server},
                   {u"UserName"_s, u"ann"_s},
                   {u"PassWord"_s, EncodeStoredPassword(password).value_or(QString())},
                   {u"CheckTime"_s, checkTime}});
    if (andBob)
        writeSettings({{u"POPServer2"_s, server}, {u"UserName2"_s, u"bob"_s}, {u"PassWord2"_s, QString()}});
    writeNotes(u"notes.dat"_s, {});
}

void Desktop::writeSettings(const QMap<QString, QString> &values) const
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.beginGroup(u"Settings"_s);
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
}

QString Desktop::readSetting(const QString &key) const
{
    return QSettings(settingsPath(), QSettings::IniFormat).value(u"Settings/"_s + key).toString();
}

QProcess *Desktop::startSuite(const QStringList &extra)
{
    // Tests run side by side: none takes port 1001.
    return m_suite = spawn(QStringLiteral(TARNIBE_BINARY), {}, QStringList{u"TARNIBE_NOTE_PORT=0"_s} + extra);
}

QString Desktop::startSystemBus(const QString &timedated)
{
    const QString address = u"unix:path="_s + m_root.path() + u"/system_bus"_s;
    spawn(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--address="_s + address});
    if (!waitFor([&] { return QFileInfo::exists(m_root.path() + u"/system_bus"_s); }, 5000))
        return {};
    // dbusmock is a Debian package: the system's own Python has it where another python3 comes first.
    const QString python = run(u"python3"_s, {u"-c"_s, u"import dbusmock; print('yes')"_s}).contains(u"yes"_s)
                               ? u"python3"_s
                               : u"/usr/bin/python3"_s;
    const QString entry = u"DBUS_SYSTEM_BUS_ADDRESS="_s + address;
    spawn(python,
          {u"-m"_s, u"dbusmock"_s, u"--template"_s, u"timedated"_s, u"-p"_s, timedated, u"-l"_s, timedatedLog()},
          {entry});
    const auto owned = [&] {
        return run(u"dbus-send"_s, {u"--bus="_s + address, u"--print-reply"_s, u"--dest=org.freedesktop.DBus"_s,
                                    u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus.NameHasOwner"_s,
                                    u"string:org.freedesktop.timedate1"_s})
            .contains(u"boolean true"_s);
    };
    return waitFor(owned, 10000) ? entry : QString();
}

QProcess *Desktop::startNotes(const QList<NoteRecord> &notes, const QStringList &environment,
                              const QMap<QString, QString> &settings)
{
    writeSettings(
        {{u"StartNotes"_s, u"1"_s}, {u"StartCalc"_s, u"0"_s}, {u"StartClock"_s, u"0"_s}, {u"StartEmail"_s, u"0"_s}});
    writeSettings(settings);
    writeNotes(u"notes.dat"_s, notes);
    return startSuite(environment);
}

qint64 Desktop::terminate()
{
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(m_suite->processId()), SIGTERM);
    return suiteEnded(5000) ? timer.elapsed() : -1;
}

QList<QRect> Desktop::trayIcons() const
{
    QList<QRect> icons;
    const QRect panel = geometry(m_panel);
    // XEmbed puts the suite's own icon windows inside the panel.
    for (qulonglong window : windowsOfClass(u"tarnibe"_s))
        if (const QRect at = geometry(window); panel.contains(at))
            icons.append(at);
    if (!icons.isEmpty() || !m_drawsItems)
        return icons;
    // A StatusNotifierItem host draws each item as a button of its own, no window of the suite's: the icons are
    // found by their pixels, the panel holding nothing else.
    const QString drawn = run(u"python3"_s, {QStringLiteral(TRAYWATCH), u"icons"_s, QString::number(panel.x()),
                                             QString::number(panel.y()), QString::number(panel.width()),
                                             QString::number(panel.height())});
    for (const QString &line : drawn.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList v = line.split(u' ');
        if (v.size() == 4)
            icons.append(QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt()));
    }
    if (!m_inArrivalOrder)
        return icons;
    // The host lays the items out in the order they reached its watcher, each on a bus connection of its own and so
    // in no set order; the suite numbers them in the order it makes them, at the end of their bus names.
    const QString registered =
        run(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, u"org.kde.StatusNotifierWatcher"_s, u"--object-path"_s,
                         u"/StatusNotifierWatcher"_s, u"--method"_s, u"org.freedesktop.DBus.Properties.Get"_s,
                         u"org.kde.StatusNotifierWatcher"_s, u"RegisteredStatusNotifierItems"_s});
    const QRegularExpression item(u"StatusNotifierItem-%1-(\\d+)/"_s.arg(m_suite ? m_suite->processId() : -1));
    QList<std::pair<int, QRect>> numbered;
    for (auto it = item.globalMatch(registered); it.hasNext();)
        numbered.append({it.next().captured(1).toInt(), QRect()});
    if (numbered.size() != icons.size())
        return icons;
    for (qsizetype i = 0; i < icons.size(); ++i)
        numbered[i].second = icons[i];
    std::sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 0; i < icons.size(); ++i)
        icons[i] = numbered[i].second;
    return icons;
}

QList<QRect> Desktop::waitTrayIcons(int count, int timeoutMs)
{
    QList<QRect> icons;
    QList<QRect> before;
    if (m_drawsItems) {
        // A button under the pointer is drawn raised, wider than its icon: the hand leaves the panel first.
        const QRect panel = geometry(m_panel);
        if (const QPoint at = pointer(); panel.contains(at))
            moveTo(QPoint(panel.left() - 40, at.y()));
    }
    waitFor(
        [&] {
            before = std::exchange(icons, trayIcons());
            // A panel shows an icon first and lays itself out after: only a place that holds counts.
            return icons.size() >= count && icons == before;
        },
        timeoutMs);
    return icons;
}

QPoint Desktop::pointer() const
{
    // "x:12 y:34 screen:0 window:5"
    const QStringList fields = xdotool({u"getmouselocation"_s}).split(u' ');
    return fields.size() < 2 ? QPoint()
                             : QPoint(fields[0].section(u':', 1).toInt(), fields[1].section(u':', 1).toInt());
}

QString Desktop::run(const QString &program, const QStringList &arguments, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool Desktop::recordSound()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return false;
    // A short latency, so that the file grows steadily as the sink plays rather than in seconds-long blocks.
    startHelper(u"parec"_s, {u"--raw"_s, u"--format=s16le"_s, u"--rate=%1"_s.arg(SoundRate), u"--channels=1"_s,
                             u"--latency-msec=50"_s, u"--device=@DEFAULT_MONITOR@"_s, recordingPath()});
    return waitFor([this] { return recorded() >= SoundRate; }, 5000);
}

qint64 Desktop::recorded() const
{
    return QFileInfo(recordingPath()).size() & ~qint64(1);
}

int Desktop::peakSince(qint64 from) const
{
    QFile file(recordingPath());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qMax<qint64>(0, from)))
        return -1;
    const QByteArray bytes = file.readAll();
    int peak = 0;
    for (qsizetype at = 0; at + 1 < bytes.size(); at += 2)
        peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(bytes.constData() + at))));
    return peak;
}

qulonglong Desktop::waitSearch(const QStringList &criteria, const QList<qulonglong> &except, int timeoutMs) const
{
    qulonglong found = 0;
    waitFor(
        [&] {
            for (qulonglong each : search(criteria))
                if (!except.contains(each))
                    found = each;
            return found != 0;
        },
        timeoutMs);
    return found;
}

QList<qulonglong> Desktop::search(const QStringList &criteria) const
{
    // xdotool walks the window tree and dies of BadWindow, having listed nothing, when a window goes in the middle of
    // the walk (a box or menu closing): no answer, to be asked again, and not "no window" (taken as what was on screen
    // before a click, it made every window new).
    QList<qulonglong> ids;
    for (int attempt = 0; attempt < 10; ++attempt) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(u"xdotool"_s, QStringList{u"search"_s, u"--onlyvisible"_s} + criteria);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(1000);
            break;
        }
        // An error that keeps coming (a window of another client in a state xdotool trips on) is no reason to see
        // nothing: the last answer stands as it is.
        if (process.readAllStandardError().contains("X Error") && attempt < 9) {
            QThread::msleep(20);
            continue;
        }
        for (const QString &id :
             QString::fromLocal8Bit(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
            ids.append(id.toULongLong());
        break;
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

QRect Desktop::geometry(qulonglong window) const
{
    const QString info = run(u"xwininfo"_s, {u"-id"_s, QString::number(window)});
    const auto value = [&](const QString &label) {
        const auto m = QRegularExpression(u"^\\s*"_s + label + u":\\s*(-?\\d+)"_s, QRegularExpression::MultilineOption)
                           .match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return QRect(value(u"Absolute upper-left X"_s), value(u"Absolute upper-left Y"_s), value(u"Width"_s),
                 value(u"Height"_s));
}

QRect Desktop::frameGeometry(qulonglong window) const
{
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QStringList sides =
        run(u"xprop"_s, {u"-id"_s, QString::number(window), u"_NET_FRAME_EXTENTS"_s}).section(u'=', 1).split(u',');
    const auto side = [&](int i) { return sides.size() == 4 ? sides[i].trimmed().toInt() : 0; };
    return geometry(window).adjusted(-side(0), -side(2), side(1), side(3));
}

qulonglong Desktop::openMenu(QPoint at, int button) const
{
    // A menu is one more window on screen: the program's, or the panel's where a StatusNotifierItem host draws an
    // item's menu itself.
    const QStringList menus{u"--classname"_s, m_menuClasses};
    const QList<qulonglong> before = search(menus);
    click(at, button);
    return waitSearch(menus, before, 3000);
}

bool Desktop::chooseFromMenu(QPoint at, const QString &keys, int button) const
{
    // A click right after a message box closed now and then reaches no icon (the menu is not even asked for): a user
    // clicks again, and so does the test.
    qulonglong menu = openMenu(at, button);
    if (!menu)
        menu = openMenu(at, button);
    if (menu)
        key(keys);
    // The next menu may reuse this one's window: it counts as new only once this one has gone.
    return menu && waitFor([&] { return !isViewable(menu); }, 3000);
}

QString Desktop::pixels(const QRect &area) const
{
    return run(u"python3"_s, {QStringLiteral(TRAYWATCH), u"pixels"_s, QString::number(area.x()),
                              QString::number(area.y()), QString::number(area.width()), QString::number(area.height())})
        .trimmed();
}

void Desktop::click(QPoint p, int button) const
{
    press(p, button);
    release(button);
}

void Desktop::doubleClick(QPoint p) const
{
    moveTo(p);
    pause(60);
    // Well inside the double-click interval of every desktop (Qt's default is 400 ms).
    xdotool({u"click"_s, u"--repeat"_s, u"2"_s, u"--delay"_s, u"90"_s, u"1"_s});
}

void Desktop::press(QPoint p, int button) const
{
    moveTo(p);
    pause(60);
    xdotool({u"mousedown"_s, QString::number(button)});
}

void Desktop::drag(QPoint from, QPoint to) const
{
    press(from);
    constexpr int Steps = 12;
    for (int i = 1; i <= Steps; ++i) {
        const QPoint at = from + (to - from) * i / Steps;
        pause(25);
        moveTo(at);
    }
    pause(100);
    release();
}

void Desktop::type(const QString &text) const
{
    xdotool({u"type"_s, u"--delay"_s, u"30"_s, text});
}

bool Desktop::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        pause(50);
    }
    return true;
}

void Desktop::pause(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(qMin<qint64>(10, qMax<qint64>(0, deadline.remainingTime())));
    }
}

NoteRecord storedNote(const QString &text, bool visible)
{
    NoteRecord note;
    note.text = text;
    note.top = note.left = 1500;
    note.width = note.oldWidth = 1710;
    note.height = note.oldHeight = 1320;
    note.visible = visible;
    note.created = u"2026-12-01  10:00:00"_s;
    return note;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace platform {

namespace {

// An Exec value per the desktop entry rules: quoted when it holds anything a launcher would split or expand, with
// the quoting's own backslashes doubled again because Exec is also an escaped string.
QString execValue(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    QString value = program;
    value.replace(u'%', QStringLiteral("%%"));
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); }))
        return value;
    QString quoted;
    for (const QChar c : std::as_const(value)) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

} // namespace

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/autostart/tarnibe.desktop";
}

bool autostartEnabled()
{
    QFile file(autostartEntryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inEntry = line == u"[Desktop Entry]";
        else if (inEntry && (line == u"Hidden=true" || line == u"X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

bool setAutostart(bool on, const QString &program, QString *error)
{
    const QString path = autostartEntryPath();
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        if (error)
            *error = QFile(path).errorString();
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        const QString entry = u"[Desktop Entry]\n"
                              u"Type=Application\n"
                              u"Name=Tarnibe\n"
                              u"Comment=Notes, calculator, atomic time and e-mail check in the tray\n"
                              u"Exec=" +
                              execValue(program) +
                              u"\n"
                              u"Icon=tarnibe\n"
                              u"Terminal=false\n"
                              u"X-GNOME-Autostart-enabled=true\n";
        file.write(entry.toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace platform

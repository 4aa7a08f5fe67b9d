// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

namespace {
QString ensured(const QString &path)
{
    QDir().mkpath(path);
    return path;
}
} // namespace

QString dataDir()
{
    return ensured(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Tarnibe");
}

QString dataFile(const QString &fileName)
{
    return dataDir() + u'/' + fileName;
}

QString settingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/Tarnibe/Tarnibe.conf";
}

QString runtimeDir()
{
    return ensured(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
}

} // namespace platform

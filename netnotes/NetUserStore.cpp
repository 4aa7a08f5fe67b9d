// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NetUserStore.h"

#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "platform/Paths.h"
#include "platform/TextFiles.h"

#include <QFile>

QList<NetUser> &NetUserTable()
{
    static QList<NetUser> table{NetUser{}};
    [[maybe_unused]] static const bool registered =
        (RegisterProcessRecord([] { NetUserTable() = QList<NetUser>{NetUser{}}; }), true);
    return table;
}

QString NetUsersFilePath()
{
    return platform::dataFile(QStringLiteral("netusers.dat"));
}

QString NetUsersBackupPath()
{
    return platform::dataFile(QStringLiteral("netusers.old"));
}

namespace {
void setTable(QList<NetUser> users)
{
    if (users.isEmpty())
        users.append(NetUser{});
    NetUserTable() = std::move(users);
}
} // namespace

void ReadNetUsers()
{
    QFile file(NetUsersFilePath());
    if (!file.exists()) {
        setTable({});
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        logError(QStringLiteral("err_BAS_ReadNetUsers "), platform::ErrorKind::PathAccess);
        setTable({});
        return;
    }
    setTable(decodeNetUsers(file.readAll()));
}

std::optional<platform::ErrorKind> SaveNetUsers(const QStringList &lines)
{
    if (const auto failure = platform::replaceFile(NetUsersFilePath(), NetUsersBackupPath(), encodeNetUserLines(lines)))
        return failure;
    QList<NetUser> users;
    for (const QString &line : lines)
        users.append(netUserFromLine(line));
    setTable(users);
    return std::nullopt;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One recipient of network notes: a computer name or IP address, and the nickname the user knows them by.
struct NetUser {
    QString address;
    QString nickname;

    bool operator==(const NetUser &) const = default;
};

// The line netusers.dat and the directory editor show for an entry: address, " , ", nickname.
QString netUserLine(const NetUser &user);
// An editor line back into its entry, split at the first " , ".
NetUser netUserFromLine(const QString &line);

// netusers.dat: one entry per line, split at the first comma, the blanks around each part dropped. Blank lines are
// skipped. UTF-8, or Windows-1252 from older copies.
QList<NetUser> decodeNetUsers(const QByteArray &bytes);
QByteArray encodeNetUserLines(const QStringList &lines);

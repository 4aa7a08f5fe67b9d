// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the reader of netusers.dat. Whatever entries it makes of them, the editor's lines for
// those entries must split back into the same entries, and the file the editor saves must read back the same: an
// address book once loaded is never changed by saving it.

#include "netnotes/NetUsers.h"

#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<NetUser> users = decodeNetUsers(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    QStringList lines;
    for (const NetUser &user : users) {
        if (user.address.contains(u',')) {
            std::fprintf(stderr, "an address kept a comma, so its line cannot be split back\n");
            std::abort();
        }
        const QString line = netUserLine(user);
        if (netUserFromLine(line) != user) {
            std::fprintf(stderr, "the editor's line for an entry split into another entry\n");
            std::abort();
        }
        lines.append(line);
    }
    if (decodeNetUsers(encodeNetUserLines(lines)) != users) {
        std::fprintf(stderr, "a saved address book read back different (%lld entries saved)\n", qint64(users.size()));
        std::abort();
    }
    return 0;
}

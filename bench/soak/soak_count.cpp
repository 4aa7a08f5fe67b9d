// SPDX-License-Identifier: GPL-3.0-or-later
// Counts a notes file with the suite's own reader: soak_count FILE...
// Prints per file "FILE notes=N received=R distinct=D alarms_set=A damaged=0|1", where received counts the notes
// whose text is "soak note n" and distinct the different n among them.
#include "notes/NoteFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    int status = 0;
    for (const QString &name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("%s unreadable\n", qPrintable(name));
            status = 1;
            continue;
        }
        const DecodedNotes decoded = decodeNotes(file.readAll());
        const QString prefix = QStringLiteral("soak note ");
        int received = 0;
        int alarms = 0;
        QSet<int> numbers;
        for (const NoteRecord &note : decoded.notes) {
            if (note.text.startsWith(prefix)) {
                ++received;
                numbers.insert(note.text.mid(prefix.size()).toInt());
            }
            if (note.alarmRepeat != QStringLiteral("-1"))
                ++alarms;
        }
        std::printf("%s notes=%lld received=%d distinct=%lld alarms_set=%d damaged=%d\n", qPrintable(name),
                    qlonglong(decoded.notes.size()), received, qlonglong(numbers.size()), alarms,
                    decoded.failure ? 1 : 0);
        if (decoded.failure)
            status = 1;
    }
    return status;
}

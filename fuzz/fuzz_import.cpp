// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the import reader, which takes exported text or a notes file. What it reads, exported as
// text, must read back to as many notes, and exporting those again must give the same text: an exported note is never
// lost or changed by a second round.

#include "notes/NoteText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ImportedNotes first = decodeImport(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!first.error.isEmpty() && !first.notes.isEmpty()) {
        std::fprintf(stderr, "a file refused still gave notes\n");
        std::abort();
    }
    const QDateTime at(QDate(2026, 12, 7), QTime(18, 0));
    const QByteArray text = encodeNotesText(first.notes, at);
    const ImportedNotes second = decodeImport(text);
    if (!second.error.isEmpty() || second.notes.size() != first.notes.size()) {
        std::fprintf(stderr, "exported text did not read back: %lld notes written, %lld read (%s)\n",
                     qint64(first.notes.size()), qint64(second.notes.size()), qPrintable(second.error));
        std::abort();
    }
    if (encodeNotesText(second.notes, at) != text) {
        std::fprintf(stderr, "exporting the imported text again changed it\n");
        std::abort();
    }
    return 0;
}

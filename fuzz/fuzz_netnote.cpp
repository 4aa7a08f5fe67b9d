// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the note message reader, as a hostile or broken peer would send them. Whatever it makes
// of them must survive being sent on: writing the note and reading it back gives the same note. A message the
// receiver takes as complete must read as a note.

#include "netnotes/NoteMessage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<NoteMessage> note = decodeNoteMessage(bytes);
    if (isCompleteNoteMessage(bytes) && (!note || note->alarmFieldInvalid)) {
        std::fprintf(stderr, "a complete message that reads as no note\n");
        std::abort();
    }
    if (!note)
        return 0;
    NoteMessage again = decodeNoteMessage(encodeNoteMessage(*note)).value_or(NoteMessage{});
    again.alarmFieldInvalid = note->alarmFieldInvalid; // written as True or False, so always valid the second time
    if (!(again == *note)) {
        std::fprintf(stderr, "a note sent on arrived changed\n");
        std::abort();
    }
    return 0;
}

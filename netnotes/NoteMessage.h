// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// One note on the wire: seven fields, each followed by "$-$", in UTF-8.
struct NoteMessage {
    QString text;
    bool alarmOn = false;
    QString from; // "From : " and the sender's name
    QString alarmDate;
    QString alarmRepeat;
    QString alarmTime;
    QString alarmTip;
    // Set by the reader when the alarm field held no truth value; the note then arrives without an alarm.
    bool alarmFieldInvalid = false;

    bool operator==(const NoteMessage &) const = default;
};

inline constexpr char NoteFieldSeparator[] = "$-$";
inline constexpr int NoteFieldCount = 7;

QByteArray encodeNoteMessage(const NoteMessage &message);

// Reads a message back. The last six fields never hold free text, so they are cut off from the end and the note's
// text is everything before them, "$-$" or not. Nothing when there are fewer than seven fields.
std::optional<NoteMessage> decodeNoteMessage(QByteArrayView bytes);

// Whether the bytes received so far make a whole message: they end with a separator, hold at least seven, and the
// alarm field is a truth value. A message may arrive in any number of pieces.
bool isCompleteNoteMessage(QByteArrayView bytes);

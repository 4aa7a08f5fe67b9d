// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NoteMessage.h"

#include "platform/TextFiles.h"

#include <array>

namespace {

constexpr qsizetype SeparatorLength = 3;

// The start of each of the last six fields' separators, found from the end; nothing when there are too few.
template <typename Text>
std::optional<std::array<qsizetype, NoteFieldCount>> separatorsFromEnd(const Text &bytes, const Text &separator)
{
    if (!bytes.endsWith(separator))
        return std::nullopt;
    std::array<qsizetype, NoteFieldCount> at{};
    qsizetype from = bytes.size() - SeparatorLength;
    at[NoteFieldCount - 1] = from;
    for (int field = NoteFieldCount - 2; field >= 0; --field) {
        if (from < SeparatorLength)
            return std::nullopt;
        from = bytes.lastIndexOf(separator, from - SeparatorLength);
        if (from < 0)
            return std::nullopt;
        at[size_t(field)] = from;
    }
    return at;
}

// "True", "False" or a number, as every copy of the suite has written the alarm field. ASCII only: the listener
// judges raw bytes and the reader decoded text, and both must come to the same answer.
std::optional<bool> truthValue(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return std::nullopt;
    }
    const QStringView trimmed = text.trimmed();
    if (trimmed.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool numeric = false;
    const double number = trimmed.toDouble(&numeric);
    if (numeric)
        return number != 0;
    return std::nullopt;
}

} // namespace

QByteArray encodeNoteMessage(const NoteMessage &message)
{
    const QString separator = QString::fromLatin1(NoteFieldSeparator);
    const QString text = platform::withCrLf(message.text) + separator + (message.alarmOn ? u"True" : u"False") +
                         separator + message.from + separator + message.alarmDate + separator + message.alarmRepeat +
                         separator + message.alarmTime + separator + message.alarmTip + separator;
    return text.toUtf8();
}

std::optional<NoteMessage> decodeNoteMessage(QByteArrayView bytes)
{
    const QString text = platform::decodeText(bytes);
    const QString separator = QString::fromLatin1(NoteFieldSeparator);
    // A message with a "$-$" of its own somewhere among the last six fields still needs seven separators.
    const auto at = separatorsFromEnd(text, separator);
    if (!at)
        return std::nullopt;
    // The first field runs from the start to the first of the last six fields' separators, counted from the end.
    const auto field = [&](int index) {
        const qsizetype start = index == 0 ? 0 : (*at)[size_t(index - 1)] + SeparatorLength;
        return text.mid(start, (*at)[size_t(index)] - start);
    };
    NoteMessage message;
    // Line breaks as the notes file keeps them, whatever the peer sent.
    message.text = platform::withCrLf(field(0));
    const std::optional<bool> alarmOn = truthValue(field(1));
    message.alarmOn = alarmOn.value_or(false);
    message.alarmFieldInvalid = !alarmOn;
    message.from = field(2);
    message.alarmDate = field(3);
    message.alarmRepeat = field(4);
    message.alarmTime = field(5);
    message.alarmTip = field(6);
    return message;
}

bool isCompleteNoteMessage(QByteArrayView bytes)
{
    const QByteArrayView separator(NoteFieldSeparator);
    const auto at = separatorsFromEnd(bytes, separator);
    if (!at)
        return false;
    const qsizetype start = (*at)[0] + SeparatorLength;
    return truthValue(QString::fromLatin1(bytes.sliced(start, (*at)[1] - start))).has_value();
}

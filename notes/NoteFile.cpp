// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteFile.h"

#include "platform/TextFiles.h"

#include <cmath>

using platform::ErrorKind;

namespace {

constexpr int FieldCount = 23;
const QByteArray CrLf = QByteArrayLiteral("\r\n");

QByteArray quoted(const QString &text)
{
    // A quoted field has no escape: a double quote inside would end it, so it is written as a single quote.
    QString safe = text;
    safe.replace(u'"', u'\'');
    return '"' + safe.toUtf8() + '"';
}

class Reader {
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) { m_utf8 = platform::isUtf8(bytes); }

    bool atEnd() const { return m_pos >= m_bytes.size(); }

    std::optional<ErrorKind> readNote(NoteRecord &note)
    {
        const qsizetype lineEnd = m_bytes.indexOf(CrLf, m_pos);
        if (lineEnd < 0)
            return ErrorKind::InputPastEnd;
        bool ok = false;
        const qint64 length = QByteArrayView(m_bytes).sliced(m_pos, lineEnd - m_pos).trimmed().toLongLong(&ok);
        if (!ok || length < 0)
            return ErrorKind::TypeMismatch;
        m_pos = lineEnd + 2;
        if (length > m_bytes.size() - m_pos)
            return ErrorKind::InputPastEnd;
        note.text = decode(QByteArrayView(m_bytes).sliced(m_pos, length));
        m_pos += length;
        if (m_bytes.mid(m_pos, 2) == CrLf)
            m_pos += 2;
        return readFields(note);
    }

private:
    QString decode(QByteArrayView bytes) const
    {
        return m_utf8 ? QString::fromUtf8(bytes) : platform::fromWindows1252(bytes);
    }

    // Splits the field line: quoted strings may hold commas, everything else ends at the next comma.
    std::optional<ErrorKind> readFields(NoteRecord &note)
    {
        const qsizetype lineEnd = m_bytes.indexOf(CrLf, m_pos);
        const qsizetype end = lineEnd < 0 ? m_bytes.size() : lineEnd;
        QList<QByteArrayView> fields;
        qsizetype at = m_pos;
        while (fields.size() < FieldCount) {
            while (at < end && m_bytes.at(at) == ' ')
                ++at;
            if (at < end && m_bytes.at(at) == '"') {
                const qsizetype close = m_bytes.indexOf('"', at + 1);
                if (close < 0 || close > end)
                    return ErrorKind::InputPastEnd;
                fields.append(QByteArrayView(m_bytes).sliced(at + 1, close - at - 1));
                at = close + 1;
                while (at < end && m_bytes.at(at) != ',')
                    ++at;
            } else {
                qsizetype comma = m_bytes.indexOf(',', at);
                if (comma < 0 || comma > end)
                    comma = end;
                fields.append(QByteArrayView(m_bytes).sliced(at, comma - at).trimmed());
                at = comma;
            }
            if (fields.size() < FieldCount) {
                if (at >= end)
                    return ErrorKind::InputPastEnd;
                ++at; // the comma
            }
        }
        m_pos = lineEnd < 0 ? m_bytes.size() : lineEnd + 2;

        int *numbers[] = {&note.top, &note.left, &note.width, &note.height, &note.oldWidth, &note.oldHeight};
        for (int i = 0; i < 6; ++i) {
            const auto value = wholeNumber(fields[i], 2147483647.0);
            if (!value)
                return value.error();
            *numbers[i] = *value;
        }
        const QByteArrayView visible = fields[6];
        if (visible.compare("#TRUE#", Qt::CaseInsensitive) == 0)
            note.visible = true;
        else if (visible.compare("#FALSE#", Qt::CaseInsensitive) == 0)
            note.visible = false;
        else if (const auto n = wholeNumber(visible, 2147483647.0))
            note.visible = *n != 0;
        else
            return ErrorKind::TypeMismatch;
        note.alarmDate = decode(fields[7]);
        note.alarmTime = decode(fields[8]);
        note.alarmRepeat = decode(fields[9]);
        note.created = decode(fields[10]);
        const auto size = wholeNumber(fields[11], 32767.0);
        if (!size)
            return size.error();
        note.fontSize = *size;
        note.title = decode(fields[12]);
        return std::nullopt;
    }

    // A number field read into a whole number, rounded half to even; outside +-limit it overflows.
    struct Number {
        int value = 0;
        ErrorKind failure = ErrorKind::TypeMismatch;
        bool ok = false;
        explicit operator bool() const { return ok; }
        int operator*() const { return value; }
        ErrorKind error() const { return failure; }
    };
    static Number wholeNumber(QByteArrayView field, double limit)
    {
        bool ok = false;
        const double value = field.isEmpty() ? 0.0 : QByteArray(field.data(), field.size()).toDouble(&ok);
        if (!field.isEmpty() && (!ok || !std::isfinite(value)))
            return {};
        const double rounded = std::nearbyint(value);
        if (rounded > limit || rounded < -limit - 1)
            return {0, ErrorKind::Overflow, false};
        return {int(rounded), ErrorKind::TypeMismatch, true};
    }

    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
    bool m_utf8 = true;
};

} // namespace

QByteArray encodeNotes(const QList<NoteRecord> &notes)
{
    QByteArray out;
    for (const NoteRecord &note : notes) {
        const QByteArray text = platform::withCrLf(note.text).toUtf8();
        out += QByteArray::number(text.size()) + CrLf + text + CrLf;
        out += QByteArray::number(note.top) + ',' + QByteArray::number(note.left) + ',' +
               QByteArray::number(note.width) + ',' + QByteArray::number(note.height) + ',' +
               QByteArray::number(note.oldWidth) + ',' + QByteArray::number(note.oldHeight) + ',' +
               (note.visible ? "#TRUE#" : "#FALSE#") + ',' + quoted(note.alarmDate) + ',' + quoted(note.alarmTime) +
               ',' + quoted(note.alarmRepeat) + ',' + quoted(note.created) + ',' + QByteArray::number(note.fontSize) +
               ',' + quoted(note.title);
        for (int reserved = 14; reserved <= FieldCount; ++reserved)
            out += ",\"\"";
        out += CrLf;
    }
    return out;
}

DecodedNotes decodeNotes(const QByteArray &bytes)
{
    DecodedNotes result;
    Reader reader(bytes);
    while (!reader.atEnd()) {
        NoteRecord note;
        if (const auto failure = reader.readNote(note)) {
            result.failure = failure;
            break;
        }
        result.notes.append(note);
    }
    return result;
}

std::optional<ErrorKind> writeNotesFile(const QString &path, const QString &backupPath, const QList<NoteRecord> &notes)
{
    return platform::replaceFile(path, backupPath, encodeNotes(notes));
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteText.h"

#include "notes/NoteFile.h"
#include "platform/TextFiles.h"

#include <QRegularExpression>
#include <QStringList>
#include <array>

namespace {

const QString Heading = QStringLiteral("Tarnibe notes");
const QString NoDateSet = QStringLiteral("NO_DATE_SET");
const std::array<QString, 5> RepeatWords = {QStringLiteral("once"), QStringLiteral("every day"),
                                            QStringLiteral("every week"), QStringLiteral("every month"),
                                            QStringLiteral("every year")};

// A field on a line of its own: line breaks in it would end the line.
QString oneLine(const QString &field)
{
    QString line = field;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return line;
}

int repeatIndex(const QString &code)
{
    bool ok = false;
    const int n = code.toInt(&ok);
    return ok && code == QString::number(n) && n >= 0 && n < int(RepeatWords.size()) ? n : -1;
}

QString alarmWords(const NoteRecord &note)
{
    const int repeat = repeatIndex(note.alarmRepeat);
    if (repeat < 0 || note.alarmDate == NoDateSet)
        return QStringLiteral("none");
    return oneLine(note.alarmDate) + u" at " + oneLine(note.alarmTime) + u", " + RepeatWords[size_t(repeat)];
}

bool readAlarm(const QString &words, NoteRecord &note)
{
    if (words == u"none")
        return true;
    static const QRegularExpression alarm(
        QStringLiteral("^(.*) at (.*), (once|every day|every week|every month|every year)$"));
    const QRegularExpressionMatch match = alarm.match(words);
    if (!match.hasMatch())
        return false;
    note.alarmDate = match.captured(1);
    note.alarmTime = match.captured(2);
    const auto word = std::find(RepeatWords.begin(), RepeatWords.end(), match.captured(3));
    note.alarmRepeat = QString::number(word - RepeatWords.begin());
    return true;
}

NoteRecord newNote()
{
    NoteRecord note;
    note.width = note.oldWidth = NewNoteWidth;
    note.height = note.oldHeight = NewNoteHeight;
    return note;
}

ImportedNotes decodeText(const QString &text)
{
    ImportedNotes result;
    const QStringList lines = text.split(u'\n');
    std::optional<NoteRecord> note;
    QStringList noteLines;
    const auto finish = [&] {
        if (note) {
            note->text = noteLines.join(QStringLiteral("\r\n"));
            result.notes.append(*note);
        }
        noteLines.clear();
    };
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const auto field = [&line](QStringView name) {
            return line.startsWith(name) ? std::optional(line.mid(name.size())) : std::nullopt;
        };
        if (line.startsWith(u"## ") || line == u"##") {
            finish();
            note = newNote();
        } else if (line.isEmpty()) {
            continue;
        } else if (note && line.startsWith(u'>')) {
            noteLines.append(line.mid(line.startsWith(u"> ") ? 2 : 1));
        } else if (const auto created = field(u"Created: "); note && created) {
            note->created = *created;
        } else if (const auto from = field(u"From: "); note && from) {
            note->title = *from;
        } else if (const auto alarm = field(u"Alarm: "); note && alarm) {
            if (!readAlarm(*alarm, *note))
                return {{}, QStringLiteral("the alarm on line %1 is not understood").arg(i + 1)};
        } else {
            return {{}, QStringLiteral("line %1 is not part of a note").arg(i + 1)};
        }
    }
    finish();
    return result;
}

} // namespace

QByteArray encodeNotesText(const QList<NoteRecord> &notes, const QDateTime &exportedAt)
{
    QString out = Heading + QStringLiteral(": %1, exported %2\n")
                                .arg(notes.size())
                                .arg(exportedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    for (const NoteRecord &note : notes) {
        const QStringList lines = platform::withLf(note.text).split(u'\n');
        out += u"\n## " + (note.text.isEmpty() ? QStringLiteral("(empty)") : lines.first()) + u'\n';
        out += u"Created: " + oneLine(note.created) + u'\n';
        out += u"Alarm: " + alarmWords(note) + u'\n';
        if (!note.title.isEmpty())
            out += u"From: " + oneLine(note.title) + u'\n';
        for (const QString &line : lines)
            out += (line.isEmpty() ? QStringLiteral(">") : u"> " + line) + u'\n';
    }
    return out.toUtf8();
}

ImportedNotes decodeImport(const QByteArray &bytes)
{
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (body.startsWith(Heading.toUtf8()))
        return decodeText(platform::decodeText(body));
    DecodedNotes decoded = decodeNotes(body);
    if (decoded.failure)
        return {{}, QStringLiteral("neither a Tarnibe notes file nor exported notes")};
    return {decoded.notes, {}};
}

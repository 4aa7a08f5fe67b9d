// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "notes/NoteFile.h"
#include "notes/NoteTable.h"
#include "notes/NoteTransfer.h"
#include "platform/TextFiles.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<NoteRecord> storedNotes()
{
    return decodeNotes(fileBytes(NotesFilePath())).notes;
}

// Notes whose text could pass for the text form's own lines, a received one with an alarm, an empty one, a folded one.
QList<NoteRecord> samples()
{
    NoteRecord sized;
    std::tie(sized.width, sized.height, sized.oldWidth, sized.oldHeight) = std::tuple(2400, 1800, 2400, 1800);
    QList<NoteRecord> notes(4, sized);
    notes[0].text = u"## Not a heading\r\n> nor a quote\r\nCreated: never\r\n\r\n  Käse, 日本 😀\r\n"_s;
    notes[0].created = u"2026-11-30  08:00:00"_s;
    std::tie(notes[1].text, notes[1].title, notes[1].alarmDate, notes[1].alarmTime, notes[1].alarmRepeat) =
        std::tuple(u"Call Anna"_s, u"Anna at home"_s, u"24-Dec-2027"_s, u"09:30"_s, u"3"_s);
    std::tie(notes[3].text, notes[3].width, notes[3].height, notes[3].oldWidth, notes[3].oldHeight, notes[3].visible,
             notes[3].fontSize) = std::tuple(u"folded"_s, 650, 370, 3000, 2500, false, 12);
    return notes;
}

} // namespace

class tst_NoteTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportedNotesImportAsNewNotesWithTheirFields_data()
    {
        QTest::addColumn<ExportForm>("form");
        QTest::newRow("text") << ExportForm::Text;
        QTest::newRow("notes file") << ExportForm::NotesFile;
    }
    // Exported, then imported into a notes file that already has a note: each note comes back with every field the
    // form carries, placed as a new note is (centred, each further one moved past those already there).
    void exportedNotesImportAsNewNotesWithTheirFields()
    {
        QFETCH(ExportForm, form);
        TestEnvironment env;
        const QString exported = env.root() + u"/exported"_s;
        QVERIFY(ExportNotes(samples(), exported, form).ok);
        NoteRecord present;
        present.text = u"present"_s;
        QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), {present}));
        const TransferResult result = ImportIntoNotesFile(exported, NoDisplayScreen);
        QCOMPARE(result.message, u"Found 4 notes in "_s + exported + u". Added them as new notes."_s);
        const QList<NoteRecord> notes = storedNotes();
        QCOMPARE(notes.size(), 5);
        const bool text = form == ExportForm::Text;
        for (int i = 0; i < 4; ++i) {
            const NoteRecord &in = notes[i + 1];
            NoteRecord out = samples()[i];
            QCOMPARE(in.text, platform::withCrLf(out.text));
            QCOMPARE(in.created, out.created.isEmpty() ? u"2026-12-06  09:30:00"_s : out.created);
            QCOMPARE(in.title, out.title);
            QCOMPARE(in.alarmRepeat, out.alarmRepeat);
            // Text gives an alarm that is off in words alone, as "none".
            QCOMPARE(in.alarmDate, out.alarmDate);
            QCOMPARE(in.alarmTime, text && out.alarmRepeat == u"-1" ? NoteRecord().alarmTime : out.alarmTime);
            if (text)
                std::tie(out.width, out.height, out.oldWidth, out.oldHeight, out.visible, out.fontSize) =
                    std::tuple(1710, 1320, 1710, 1320, true, 8);
            QCOMPARE(std::tie(in.width, in.height, in.oldWidth, in.oldHeight, in.visible, in.fontSize),
                     std::tie(out.width, out.height, out.oldWidth, out.oldHeight, out.visible, out.fontSize));
            // Centred on 1024 x 768 pixels; the same size as the note before moves on by 150 twips.
            const int cascade = text || i < 3 ? 150 * i : 0;
            QCOMPARE(QPoint(in.left, in.top),
                     QPoint((15360 - in.width) / 2 + cascade, (11520 - in.height) / 2 + cascade));
        }
    }

    // A notes file in the single-byte code page older copies wrote is read as a start reads it; anything that is
    // neither form adds nothing and leaves the notes file as it was.
    void legacyFilesImportAndGarbageAddsNothing()
    {
        TestEnvironment env;
        const QString legacy = env.root() + u"/legacy.dat"_s;
        QVERIFY(writeFile(legacy, "4\r\nK\xE4se\r\n0,0,3000,2500,3000,2500,#TRUE#,\"NO_DATE_SET\",\"13:25\",\"-1\","
                                  "\"07.09.1999 17:33\",10,\"\"" +
                                      QByteArray(",\"\"").repeated(10) + "\r\n"));
        QVERIFY(ImportIntoNotesFile(legacy, NoDisplayScreen).ok);
        QCOMPARE(storedNotes().value(0).text, u"Käse"_s);
        const QByteArray before = fileBytes(NotesFilePath());
        for (const QByteArray &garbage :
             {QByteArray("\x7F"
                         "ELF\x02\x01\x01\0\0\0",
                         10),
              QByteArray("12\r\nshort\r\n"), QByteArray("Tarnibe notes\n## x\n> x\nTitle: x\n"),
              QByteArray("Tarnibe notes\n## x\nAlarm: tomorrow\n")}) {
            QVERIFY(writeFile(legacy, garbage));
            const TransferResult result = ImportIntoNotesFile(legacy, NoDisplayScreen);
            QVERIFY2(!result.ok && result.message.startsWith(u"Cannot import "_s), qPrintable(result.message));
            QVERIFY(result.message.endsWith(u"; nothing was added."_s));
            QCOMPARE(fileBytes(NotesFilePath()), before);
        }
    }
};

QTEST_GUILESS_MAIN(tst_NoteTransfer)
#include "tst_NoteTransfer.moc"

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
            NoteRecord out = samples()[i];
            std::tie(out.text, out.created) = std::tuple(
                platform::withCrLf(out.text), out.created.isEmpty() ? u"2026-12-06  09:30:00"_s : out.created);
            // Text carries no size, font or hiding, and an alarm that is off only as "none".
            if (text)
                std::tie(out.width, out.height, out.oldWidth, out.oldHeight, out.visible, out.fontSize) =
                    std::tuple(1710, 1320, 1710, 1320, true, 8);
            // Centred on 1024 x 768 pixels; the same size as the note before moves on by 150 twips.
            const int cascade = text || i < 3 ? 150 * i : 0;
            std::tie(out.left, out.top) =
                std::tuple((15360 - out.width) / 2 + cascade, (11520 - out.height) / 2 + cascade);
            QVERIFY2(notes[i + 1] == out, qPrintable(QString::fromUtf8(encodeNotes({notes[i + 1], out}))));
        }
    }

    // Where only notes.old is left the next start offers to read it; an import now would save over it.
    void aLoneBackupIsLeftForTheStart()
    {
        TestEnvironment env;
        QVERIFY(!writeNotesFile(NotesBackupPath(), {}, samples()));
        QVERIFY(ExportNotes(samples(), env.root() + u"/exported"_s, ExportForm::Text).ok);
        QVERIFY(!ImportIntoNotesFile(env.root() + u"/exported"_s, NoDisplayScreen).ok);
        QVERIFY(!QFile::exists(NotesFilePath()));
    }
};

QTEST_GUILESS_MAIN(tst_NoteTransfer)
#include "tst_NoteTransfer.moc"

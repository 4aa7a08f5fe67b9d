#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace NoteSamples;
using platform::MsgAnswer;

namespace {

const QString BackupQuestion =
    boxLine({u"A problem occurred when trying to read your old notes. Shall I try to read the backup notes instead ?"_s,
             u"Info"_s, platform::MsgIcon::Question, platform::MsgButtons::YesNo, MsgAnswer::Yes});

} // namespace

class tst_NoteStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { resetNotes(); }

    void storedNotesComeBackAsTheyWereLeft()
    {
        TestEnvironment env;
        NoteRecord collapsed = stored(u"collapsed"_s, 1200, 900, CollapsedWidth, CollapsedHeight);
        collapsed.oldWidth = 3000;
        collapsed.oldHeight = 2000;
        collapsed.fontSize = 9; // not a size the menu offers
        NoteRecord large = stored(u"large print"_s, 4500, 1500);
        large.fontSize = 14;
        large.title = u"From Ann, desk 3"_s;
        NoteRecord hidden = stored(u"out of sight"_s, 6000, 3000);
        hidden.visible = false;
        form_Main container;
        QVERIFY(startNotes(container, {collapsed, large, hidden}));

        QCOMPARE(windowLooks(), (QStringList{u"shown 650x370"_s, u"shown 2400x1800"_s, u"hidden 2400x1800"_s}));
        QCOMPARE(NoteStore().note(2)->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 14);
        QCOMPARE(container.rowText(3), u"out of sight"_s);

        // Saved straight away, every note is as it was read, but for the font size the menu does not offer.
        SaveAllNotes();
        collapsed.fontSize = 8;
        QCOMPARE(notesIn(NotesFilePath()), (QList<NoteRecord>{collapsed, large, hidden}));
    }

    void deletingRebuildsTheNotesFromTheFile()
    {
        TestEnvironment env;
        form_Main container;
        QVERIFY(startNotes(container, {stored(u"first"_s, 600, 600), stored(u"second"_s, 1200, 1200),
                                       stored(u"third"_s, 1800, 1800)}));
        QByteArray before = fileBytes(NotesFilePath());
        const QPointer<form_Note> oldThird = NoteStore().note(3);

        DeleteNote(2, false);
        processDeletions();

        QCOMPARE(texts(notesIn(NotesFilePath())), (QStringList{u"first"_s, u"third"_s}));
        QCOMPARE(fileBytes(NotesBackupPath()), before);
        QVERIFY(oldThird.isNull());
        QCOMPARE(texts(tableRecords()), (QStringList{u"first"_s, u"third"_s}));
        form_Note *moved = NoteStore().note(2);
        QCOMPARE(moved->index(), 2);
        QVERIFY(moved->isVisible());
        QCOMPARE(container.rowText(2), u"third"_s);

        before = fileBytes(NotesFilePath());
        DeleteNote(0, true);
        processDeletions();

        QVERIFY(QFile::exists(NotesFilePath()) && QFileInfo(NotesFilePath()).size() == 0);
        QCOMPARE(fileBytes(NotesBackupPath()), before);
        QCOMPARE(NoteStore().count(), 0);
        QCOMPARE(container.rowCount(), 0);
        QVERIFY(!container.findChild<QLabel *>(u"label_NoteText1"_s));
    }

    void aMissingFileOffersTheBackup_data()
    {
        QTest::addColumn<bool>("firstLaunch");
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QStringList>("expected");

        const QStringList backup{u"saved yesterday"_s, u"and this"_s};
        QTest::newRow("yes, backup read") << false << true << true << MsgAnswer::Yes << backup;
        QTest::newRow("yes, no backup either") << false << false << true << MsgAnswer::Yes << QStringList();
        QTest::newRow("no") << false << true << true << MsgAnswer::No << QStringList();
        // Only a user without either file is new; a lone backup still means notes were lost.
        QTest::newRow("first launch with a backup") << true << true << true << MsgAnswer::Yes << backup;
        QTest::newRow("new user") << true << false << false << MsgAnswer::Yes << QStringList();
    }
    void aMissingFileOffersTheBackup()
    {
        QFETCH(bool, firstLaunch);
        QFETCH(bool, backupExists);
        QFETCH(bool, asked);
        QFETCH(MsgAnswer, answer);
        QFETCH(QStringList, expected);
        TestEnvironment env;
        Settings().FirstLaunch = firstLaunch;
        const QByteArray backup =
            encodeNotes({stored(u"saved yesterday"_s, 600, 600), stored(u"and this"_s, 1200, 1200)});
        if (backupExists)
            QVERIFY(writeFile(NotesBackupPath(), backup));
        if (asked)
            env.messages.expect(answer);

        ReadSavedData();

        if (asked)
            QCOMPARE(boxLine(env.messages.shown().value(0)), BackupQuestion);
        QCOMPARE(env.logLines().isEmpty(), !asked);
        QCOMPARE(texts(tableRecords()), expected);
        // Yes copies the backup to the notes file; otherwise neither file changes.
        QCOMPARE(fileBytes(NotesBackupPath()), backupExists ? backup : QByteArray());
        QCOMPARE(QFile::exists(NotesFilePath()), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(NotesFilePath()), backup);
    }

    void aDamagedFileIsSetAsideForTheBackup()
    {
        TestEnvironment env;
        // One good record, then a length that runs past the end of the file.
        const QByteArray damaged =
            encodeNotes({stored(u"half saved"_s, 600, 600)}) + QByteArrayLiteral("500\r\ncut short\r\n");
        const QByteArray backup = encodeNotes({stored(u"backup one"_s, 900, 900), stored(u"backup two"_s, 1500, 1500)});
        QVERIFY(writeFile(NotesFilePath(), damaged));
        QVERIFY(writeFile(NotesBackupPath(), backup));

        env.messages.expect(MsgAnswer::Yes);
        ReadSavedData();
        processDeletions();

        QCOMPARE(texts(tableRecords()), (QStringList{u"backup one"_s, u"backup two"_s}));
        QCOMPARE(fileBytes(platform::dataFile(u"notes.bad"_s)), damaged);
        QCOMPARE(fileBytes(NotesFilePath()), backup);
        QVERIFY(env.logLines().value(0).startsWith(u"\"err_Bas_ReadSavedData "_s));
    }

    void savingWaitsForTheNotesProgramAndKeepsAwkwardText()
    {
        TestEnvironment env;
        const QString text = u"Shopping:\r\n\"milk\", eggs, bread\r\n\r\n3,50 € – Grüße\r\n"_s;
        NoteStore().append(std::make_unique<form_Note>(stored(text, 600, 600), 1));
        NoteStore().append(std::make_unique<form_Note>(stored(QString(), 1200, 1200), 2));

        SaveAllNotes();
        QVERIFY(!QFile::exists(NotesFilePath()));

        ProgramRunFlags().notes = true;
        SaveAllNotes();
        NoteStore().clear();
        processDeletions();
        ReadSavedData();

        QCOMPARE(texts(tableRecords()), (QStringList{text, QString()}));
    }
};

QTEST_MAIN(tst_NoteStore)
#include "tst_NoteStore.moc"

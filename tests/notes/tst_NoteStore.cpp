#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

namespace {

using NoteSamples::stored;

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<NoteRecord> notesInFile(const QString &path)
{
    const DecodedNotes decoded = decodeNotes(readBytes(path));
    if (decoded.failure)
        QTest::qFail("the notes file does not decode", __FILE__, __LINE__);
    return decoded.notes;
}

QStringList texts(const QList<NoteRecord> &notes)
{
    QStringList list;
    for (const NoteRecord &note : notes)
        list << note.text;
    return list;
}

QStringList tableTexts()
{
    QStringList list;
    for (int i = 1; i <= NoteStore().count(); ++i)
        list << NoteStore().note(i)->record().text;
    return list;
}

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

const QString Question =
    u"A problem occurred when trying to read your old notes. Shall I try to read the backup notes instead ?"_s;

} // namespace

class tst_NoteStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The table outlives every test function; each starts without note windows.
    void cleanup()
    {
        NoteStore().clear();
        processDeletions();
        Requests() = ContainerRequests{};
    }

    void storedNotesComeBackAsTheyWereLeft()
    {
        TestEnvironment env;
        NoteRecord collapsed = stored(u"collapsed"_s, 1200, 900, CollapsedWidth, CollapsedHeight);
        collapsed.oldWidth = 3000;
        collapsed.oldHeight = 2000;
        collapsed.fontSize = 9; // not a size the menu offers
        NoteRecord large = stored(u"large print"_s, 4500, 1500);
        large.fontSize = 14;
        NoteRecord hidden = stored(u"out of sight"_s, 6000, 3000);
        hidden.visible = false;
        writeBytes(NotesFilePath(), encodeNotes({collapsed, large, hidden}));

        form_Main container;
        container.Form_Load();

        QCOMPARE(NoteStore().count(), 3);
        const NoteRecord &first = NoteStore().note(1)->record();
        QCOMPARE(first.width, CollapsedWidth);
        QCOMPARE(first.height, CollapsedHeight);
        QCOMPARE(first.oldWidth, 3000);
        QCOMPARE(first.oldHeight, 2000);
        QCOMPARE(first.left, 1200);
        QCOMPARE(first.top, 900);
        QCOMPARE(first.fontSize, 8);
        QCOMPARE(NoteStore().note(2)->record().fontSize, 14);
        QCOMPARE(NoteStore().note(2)->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 14);

        form_Note *third = NoteStore().note(3);
        QVERIFY(NoteStore().note(1)->isVisible());
        QVERIFY(!third->isVisible());
        QVERIFY(!third->record().visible);
        QCOMPARE(container.rowCount(), 3);
        const auto *row = container.findChild<QLabel *>(u"label_NoteText3"_s);
        QVERIFY(row);
        QCOMPARE(row->text(), u"out of sight"_s);

        ProgramRunFlags().notes = true;
        SaveAllNotes();
        const QList<NoteRecord> saved = notesInFile(NotesFilePath());
        QCOMPARE(saved.size(), 3);
        QCOMPARE(saved[0].fontSize, 8);
        QCOMPARE(saved[0].width, CollapsedWidth);
        QCOMPARE(saved[0].height, CollapsedHeight);
        QCOMPARE(saved[0].oldWidth, 3000);
        QCOMPARE(saved[0].oldHeight, 2000);
        QCOMPARE(saved[1].fontSize, 14);
        QVERIFY(!saved[2].visible);
    }

    void deletingOneNoteRenumbersTheRest()
    {
        TestEnvironment env;
        writeBytes(NotesFilePath(), encodeNotes({stored(u"first"_s, 600, 600), stored(u"second"_s, 1200, 1200),
                                                 stored(u"third"_s, 1800, 1800)}));
        form_Main container;
        container.Form_Load();
        const QByteArray before = readBytes(NotesFilePath());
        const QPointer<form_Note> oldSecond = NoteStore().note(2);
        const QPointer<form_Note> oldThird = NoteStore().note(3);

        DeleteNote(2, false);
        processDeletions();

        QCOMPARE(texts(notesInFile(NotesFilePath())), (QStringList{u"first"_s, u"third"_s}));
        QCOMPARE(readBytes(NotesBackupPath()), before);
        QVERIFY(oldSecond.isNull());
        QVERIFY(oldThird.isNull());
        QCOMPARE(NoteStore().count(), 2);
        form_Note *moved = NoteStore().note(2);
        QCOMPARE(moved->index(), 2);
        QCOMPARE(moved->record().text, u"third"_s);
        QCOMPARE(moved->record().left, 1800);
        QVERIFY(moved->isVisible());
        QCOMPARE(container.rowCount(), 2);
        const auto *row = container.findChild<QLabel *>(u"label_NoteText2"_s);
        QVERIFY(row);
        QCOMPARE(row->text(), u"third"_s);
        QVERIFY(!container.findChild<QLabel *>(u"label_NoteText3"_s));
    }

    void deletingAllLeavesAnEmptyFile()
    {
        TestEnvironment env;
        writeBytes(NotesFilePath(), encodeNotes({stored(u"first"_s, 600, 600), stored(u"second"_s, 1200, 1200)}));
        form_Main container;
        container.Form_Load();
        const QByteArray before = readBytes(NotesFilePath());

        DeleteNote(0, true);
        processDeletions();

        QVERIFY(QFile::exists(NotesFilePath()));
        QCOMPARE(QFileInfo(NotesFilePath()).size(), 0);
        QCOMPARE(readBytes(NotesBackupPath()), before);
        QCOMPARE(NoteStore().count(), 0);
        QCOMPARE(container.rowCount(), 0);
        QVERIFY(!container.findChild<QLabel *>(u"label_NoteText1"_s));
        QVERIFY(env.messages.shown().isEmpty());
    }

    void aMissingFileOffersTheBackup_data()
    {
        QTest::addColumn<bool>("firstLaunch");
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QStringList>("expected");

        const QStringList backup{u"saved yesterday"_s, u"and this"_s};
        QTest::newRow("yes, backup read") << false << true << MsgAnswer::Yes << backup;
        QTest::newRow("yes, no backup either") << false << false << MsgAnswer::Yes << QStringList();
        QTest::newRow("no") << false << true << MsgAnswer::No << QStringList();
        // Only a user without either file is new; a lone backup still means notes were lost.
        QTest::newRow("first launch with a backup") << true << true << MsgAnswer::Yes << backup;
    }

    void aMissingFileOffersTheBackup()
    {
        QFETCH(bool, firstLaunch);
        QFETCH(bool, backupExists);
        QFETCH(MsgAnswer, answer);
        QFETCH(QStringList, expected);
        TestEnvironment env;
        Settings().FirstLaunch = firstLaunch;
        const QByteArray backup =
            encodeNotes({stored(u"saved yesterday"_s, 600, 600), stored(u"and this"_s, 1200, 1200)});
        if (backupExists)
            writeBytes(NotesBackupPath(), backup);

        env.messages.expect(answer);
        ReadSavedData();

        QCOMPARE(env.messages.shown().size(), 1);
        const platform::MessageRequest &box = env.messages.shown().constFirst();
        QCOMPARE(box.title, u"Info"_s);
        QCOMPARE(box.text, Question);
        QCOMPARE(box.buttons, platform::MsgButtons::YesNo);
        QCOMPARE(tableTexts(), expected);
        if (answer == MsgAnswer::Yes && backupExists)
            QCOMPARE(readBytes(NotesFilePath()), backup);
        if (answer == MsgAnswer::No) {
            QVERIFY(!QFile::exists(NotesFilePath()));
            QCOMPARE(readBytes(NotesBackupPath()), backup);
        }
    }

    void aNewUserIsNotAskedAboutNotes()
    {
        TestEnvironment env;
        Settings().FirstLaunch = true;

        ReadSavedData();

        QVERIFY(env.messages.shown().isEmpty());
        QVERIFY(env.logLines().isEmpty());
        QCOMPARE(NoteStore().count(), 0);
    }

    void aDamagedFileIsSetAsideForTheBackup()
    {
        TestEnvironment env;
        // One good record, then a length line that runs past the end of the file.
        const QByteArray damaged =
            encodeNotes({stored(u"half saved"_s, 600, 600)}) + QByteArrayLiteral("500\r\ncut short\r\n");
        const QByteArray backup = encodeNotes({stored(u"backup one"_s, 900, 900), stored(u"backup two"_s, 1500, 1500)});
        writeBytes(NotesFilePath(), damaged);
        writeBytes(NotesBackupPath(), backup);

        env.messages.expect(MsgAnswer::Yes);
        ReadSavedData();
        processDeletions();

        QCOMPARE(env.messages.shown().size(), 1);
        QCOMPARE(env.messages.shown().constFirst().text, Question);
        QCOMPARE(tableTexts(), (QStringList{u"backup one"_s, u"backup two"_s}));
        QCOMPARE(NoteStore().note(1)->index(), 1);
        QCOMPARE(NoteStore().note(2)->index(), 2);
        QCOMPARE(readBytes(platform::dataFile(u"notes.bad"_s)), damaged);
        QCOMPARE(readBytes(NotesFilePath()), backup);
        const QStringList log = env.logLines();
        QVERIFY(std::any_of(log.begin(), log.end(),
                            [](const QString &line) { return line.startsWith(u"\"err_Bas_ReadSavedData "_s); }));
    }

    void savingWaitsForTheNotesProgram()
    {
        TestEnvironment env;
        NoteStore().append(std::make_unique<form_Note>(stored(u"unsaved"_s, 600, 600), 1));

        SaveAllNotes();
        QVERIFY(!QFile::exists(NotesFilePath()));

        ProgramRunFlags().notes = true;
        SaveAllNotes();
        QCOMPARE(texts(notesInFile(NotesFilePath())), QStringList{u"unsaved"_s});
    }

    void awkwardTextSurvivesSaveAndLoad()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        const QString text = u"Shopping:\r\n\"milk\", eggs, bread\r\n\r\n3,50 € – Grüße\r\n"_s;
        NoteRecord awkward = stored(text, 600, 600);
        awkward.title = u"From Ann, desk 3"_s;
        NoteStore().append(std::make_unique<form_Note>(awkward, 1));
        NoteStore().append(std::make_unique<form_Note>(stored(QString(), 1200, 1200), 2));

        SaveAllNotes();
        NoteStore().clear();
        processDeletions();
        ReadSavedData();

        QCOMPARE(NoteStore().count(), 2);
        QCOMPARE(NoteStore().note(1)->record().text, text);
        QCOMPARE(NoteStore().note(1)->record().title, u"From Ann, desk 3"_s);
        QCOMPARE(NoteStore().note(2)->record().text, QString());
        QVERIFY(env.messages.shown().isEmpty());
    }
};

QTEST_MAIN(tst_NoteStore)
#include "tst_NoteStore.moc"

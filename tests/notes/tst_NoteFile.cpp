#include "notes/NoteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::ErrorKind;

namespace {

QString kindText(std::optional<ErrorKind> kind)
{
    return kind ? platform::errorText(*kind) : u"no failure"_s;
}

// The note every file test starts from; its record is the one written out by hand below.
NoteRecord buyMilk()
{
    NoteRecord note;
    note.text = u"Buy milk"_s;
    note.top = 4215;
    note.left = 3840;
    note.width = 3000;
    note.height = 2500;
    note.oldWidth = 3000;
    note.oldHeight = 2500;
    note.visible = true;
    note.created = u"1999-09-07  17:33:26"_s;
    note.fontSize = 10;
    return note;
}

const QByteArray BuyMilkRecord = QByteArrayLiteral(
    "8\r\n"
    "Buy milk\r\n"
    "4215,3840,3000,2500,3000,2500,#TRUE#,\"NO_DATE_SET\",\"13:25\",\"-1\",\"1999-09-07  17:33:26\",10,"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");

// A note whose every field differs from the defaults, so a field that is dropped or swapped shows.
NoteRecord busyNote(const QString &text)
{
    NoteRecord note;
    note.text = text;
    note.top = 4215;
    note.left = -120; // left of the primary screen
    note.width = 3000;
    note.height = 2500;
    note.oldWidth = 3100;
    note.oldHeight = 2600;
    note.visible = false;
    note.alarmDate = u"2026-12-24"_s;
    note.alarmTime = u"07:45"_s;
    note.alarmRepeat = u"3"_s;
    note.created = u"2026-12-06  09:30:00"_s;
    note.fontSize = 12;
    note.title = u"Größe, heute"_s;
    return note;
}

// The 23 fields of the Buy milk record, for damaging one at a time; none of them holds a comma.
QByteArrayList buyMilkFields()
{
    return BuyMilkRecord.split('\n')[2].chopped(1).split(',');
}

// Field numbers count from 1, as the field line is usually described.
QByteArray fieldsWith(int field, const QByteArray &value)
{
    QByteArrayList fields = buyMilkFields();
    fields[field - 1] = value;
    return fields.join(',');
}

QByteArray record(const QByteArray &text, const QByteArray &fieldLine)
{
    return QByteArray::number(text.size()) + "\r\n" + text + "\r\n" + fieldLine + "\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class tst_NoteFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aNoteSurvivesTheRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("utf8Bytes");
        QTest::newRow("plain") << u"Buy milk"_s << 8;
        QTest::newRow("CR LF inside") << u"first line\r\nsecond line"_s << 23;
        QTest::newRow("commas") << u"a, b,, c,"_s << 9;
        QTest::newRow("double quotes") << u"He said \"no\", then \"yes\""_s << 24;
        QTest::newRow("old separator") << u"a$-$b$-$"_s << 8;
        QTest::newRow("umlauts count two bytes") << u"Käse und Möhren"_s << 17;
        QTest::newRow("CJK counts three bytes") << u"日本"_s << 6;
        QTest::newRow("emoji counts four bytes") << u"😀 note"_s << 9;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("ends in CR LF") << u"last line\r\n"_s << 11;
        QTest::newRow("only CR LF") << u"\r\n"_s << 2;
        QTest::newRow("looks like a record") << u"3\r\nabc\r\n1,2,\"x\r\n"_s << 16;
    }
    void aNoteSurvivesTheRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, utf8Bytes);
        const NoteRecord note = busyNote(text);

        const QByteArray bytes = encodeNotes({note});
        // The length line counts bytes, and the field line follows the text and its CR LF directly.
        const QByteArray head = QByteArray::number(utf8Bytes) + "\r\n" + text.toUtf8() + "\r\n4215,-120,";
        QVERIFY2(bytes.startsWith(head), bytes.constData());
        QVERIFY(bytes.endsWith("\"\"\r\n"));

        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), 1);
        QCOMPARE(decoded.notes[0].text, text);
        QVERIFY(decoded.notes[0] == note);
    }

    void manyNotesComeBackInOrder()
    {
        const QStringList texts = {u"first\r\n"_s, QString(),          u"\"quoted\", with comma"_s,
                                   u"日本 😀"_s,    u"8\r\nBuy milk"_s, u"last"_s};
        QList<NoteRecord> notes;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            NoteRecord note = busyNote(texts[i]);
            note.top = int(i) * 1000;
            note.visible = i % 2 == 0;
            note.fontSize = 8 + int(i);
            note.title = i == 3 ? QString() : u"title %1"_s.arg(i);
            notes.append(note);
        }
        notes.append(buyMilk());

        const DecodedNotes decoded = decodeNotes(encodeNotes(notes));
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), notes.size());
        for (qsizetype i = 0; i < notes.size(); ++i)
            QVERIFY2(decoded.notes[i] == notes[i], qPrintable(u"note %1 differs"_s.arg(i)));
    }

    void theBuyMilkRecordIsWrittenByteForByte()
    {
        QCOMPARE(encodeNotes({buyMilk()}), BuyMilkRecord);
        const DecodedNotes decoded = decodeNotes(BuyMilkRecord);
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), 1);
        QVERIFY(decoded.notes[0] == buyMilk());

        QCOMPARE(encodeNotes({}), QByteArray());
        const DecodedNotes empty = decodeNotes(QByteArray());
        QVERIFY(empty.notes.isEmpty());
        QCOMPARE(kindText(empty.failure), u"no failure"_s);
    }

    void aFileThatIsNotUtf8IsReadAsWindows1252()
    {
        const QByteArray bytes = record("K\xE4se", fieldsWith(13, "\"sm\xF6rg\xE5s\"")) + //
                                 record("\x80", fieldsWith(11, "\"7. M\xE4rz\"")) +       //
                                 record("\x93Hallo\x94", buyMilkFields().join(','));
        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), 3);
        QCOMPARE(decoded.notes[0].text, u"Käse"_s);
        QCOMPARE(decoded.notes[0].title, u"smörgås"_s);
        QCOMPARE(decoded.notes[1].text, u"€"_s);
        QCOMPARE(decoded.notes[1].created, u"7. März"_s);
        QCOMPARE(decoded.notes[2].text, u"“Hallo”"_s);
        QCOMPARE(decoded.notes[2].fontSize, 10);
    }

    void aDoubleQuoteInAQuotedFieldIsWrittenAsASingleQuote()
    {
        NoteRecord quoted = busyNote(u"the text keeps \"its\" quotes"_s);
        quoted.title = u"Call \"Bob\", later"_s;
        quoted.alarmDate = u"\"soon\""_s;
        quoted.alarmTime = u"7\""_s;
        quoted.created = u"x\"y"_s;
        const NoteRecord after = buyMilk();

        const QByteArray bytes = encodeNotes({quoted, after});
        // Fifteen quoted fields, and no quote of their own inside any of them.
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[2].count('"'), 30);
        QVERIFY(lines[1].contains("\"its\""));

        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), 2);
        NoteRecord expected = quoted;
        expected.title = u"Call 'Bob', later"_s;
        expected.alarmDate = u"'soon'"_s;
        expected.alarmTime = u"7'"_s;
        expected.created = u"x'y"_s;
        QCOMPARE(decoded.notes[0].title, expected.title);
        QVERIFY(decoded.notes[0] == expected);
        QVERIFY(decoded.notes[1] == after);
    }

    void aDamagedFileKeepsTheNotesBeforeTheDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("notesRead");
        QTest::addColumn<ErrorKind>("failure");
        const QByteArray good = BuyMilkRecord;
        const QByteArray fields = buyMilkFields().join(',');
        QTest::newRow("length past the end")
            << QByteArray(good + "500\r\nonly a few bytes\r\n" + fields + "\r\n") << 1 << ErrorKind::InputPastEnd;
        QTest::newRow("length line cut off") << QByteArray(good + good + "12") << 2 << ErrorKind::InputPastEnd;
        QTest::newRow("field line cut off")
            << QByteArray(good + "4\r\nhalf\r\n4215,3840,30") << 1 << ErrorKind::InputPastEnd;
        QTest::newRow("22 fields") << QByteArray(good + record("short", buyMilkFields().mid(0, 22).join(',')) + good)
                                   << 1 << ErrorKind::InputPastEnd;
        QTest::newRow("quoted field never closed")
            << QByteArray(good + record("open", "4215,3840,3000,2500,3000,2500,#TRUE#,\"NO_DATE_SET")) << 1
            << ErrorKind::InputPastEnd;
        QTest::newRow("length not a number")
            << QByteArray(good + "eight\r\nBuy milk\r\n" + fields + "\r\n") << 1 << ErrorKind::TypeMismatch;
        QTest::newRow("abc as width") << QByteArray(good + record("w", fieldsWith(3, "abc"))) << 1
                                      << ErrorKind::TypeMismatch;
        QTest::newRow("visible neither true nor false")
            << QByteArray(good + record("v", fieldsWith(7, "#MAYBE#"))) << 1 << ErrorKind::TypeMismatch;
        QTest::newRow("font size 40000") << QByteArray(good + record("f", fieldsWith(12, "40000"))) << 1
                                         << ErrorKind::Overflow;
        QTest::newRow("font size -40000")
            << QByteArray(good + record("f", fieldsWith(12, "-40000"))) << 1 << ErrorKind::Overflow;
        QTest::newRow("font size 32767.5 rounds past the limit")
            << QByteArray(good + record("f", fieldsWith(12, "32767.5"))) << 1 << ErrorKind::Overflow;
        QTest::newRow("top beyond 32 bits")
            << QByteArray(good + record("t", fieldsWith(1, "2147483648"))) << 1 << ErrorKind::Overflow;
        QTest::newRow("damage in the first record")
            << QByteArray(record("x", fieldsWith(4, "tall")) + good) << 0 << ErrorKind::TypeMismatch;
    }
    void aDamagedFileKeepsTheNotesBeforeTheDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, notesRead);
        QFETCH(ErrorKind, failure);
        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), kindText(failure));
        QCOMPARE(decoded.notes.size(), notesRead);
        for (const NoteRecord &note : decoded.notes)
            QVERIFY(note == buyMilk());
    }

    void numbersAreRoundedHalfToEven_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("read");
        QTest::newRow("top 4215.6") << 1 << QByteArray("4215.6") << 4216;
        QTest::newRow("top 2.5") << 1 << QByteArray("2.5") << 2;
        QTest::newRow("left 3.5") << 2 << QByteArray("3.5") << 4;
        QTest::newRow("width 2999.4") << 3 << QByteArray("2999.4") << 2999;
        QTest::newRow("height -2.5") << 4 << QByteArray("-2.5") << -2;
        QTest::newRow("oldWidth -3.5") << 5 << QByteArray("-3.5") << -4;
        QTest::newRow("oldHeight largest") << 6 << QByteArray("2147483647") << 2147483647;
        QTest::newRow("fontSize 9.5") << 12 << QByteArray("9.5") << 10;
        QTest::newRow("fontSize largest") << 12 << QByteArray("32767") << 32767;
        QTest::newRow("fontSize -32767") << 12 << QByteArray("-32767") << -32767;
    }
    void numbersAreRoundedHalfToEven()
    {
        QFETCH(int, field);
        QFETCH(QByteArray, written);
        QFETCH(int, read);
        const DecodedNotes decoded = decodeNotes(record("n", fieldsWith(field, written)));
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        QCOMPARE(decoded.notes.size(), 1);
        const NoteRecord &note = decoded.notes[0];
        const int numbers[] = {note.top, note.left, note.width, note.height, note.oldWidth, note.oldHeight};
        QCOMPARE(field == 12 ? note.fontSize : numbers[field - 1], read);
    }

    void aCollapsedNoteKeepsItsOldSize()
    {
        NoteRecord note = busyNote(u"rolled up"_s);
        note.width = CollapsedWidth;
        note.height = CollapsedHeight;
        note.oldWidth = 3000;
        note.oldHeight = 2500;
        const DecodedNotes decoded = decodeNotes(encodeNotes({note}));
        QCOMPARE(decoded.notes.size(), 1);
        QVERIFY(isCollapsed(decoded.notes[0]));
        QCOMPARE(decoded.notes[0].oldWidth, 3000);
        QCOMPARE(decoded.notes[0].oldHeight, 2500);

        NoteRecord size;
        size.width = 650;
        size.height = 370;
        QVERIFY(isCollapsed(size));
        size.width = 651;
        QVERIFY(!isCollapsed(size));
        size.width = 650;
        size.height = 371;
        QVERIFY(!isCollapsed(size));
    }

    void eachWriteKeepsTheGenerationBeforeAsBackup()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString dat = dir.filePath(u"notes.dat"_s);
        const QString old = dir.filePath(u"notes.old"_s);
        const QList<NoteRecord> first = {buyMilk()};
        const QList<NoteRecord> second = {busyNote(u"one"_s), busyNote(u"two\r\n"_s)};

        QCOMPARE(kindText(writeNotesFile(dat, old, first)), u"no failure"_s);
        QCOMPARE(readAll(dat), BuyMilkRecord);
        QCOMPARE(entries(dir.path()), QStringList{u"notes.dat"_s});

        // A leftover from a save that was cut short is simply replaced.
        QVERIFY(writeBytes(dat + u".new"_s, "12\r\ngarbage"));
        QCOMPARE(kindText(writeNotesFile(dat, old, second)), u"no failure"_s);
        QCOMPARE(readAll(dat), encodeNotes(second));
        QCOMPARE(readAll(old), BuyMilkRecord);
        QCOMPARE(entries(dir.path()), (QStringList{u"notes.dat"_s, u"notes.old"_s}));

        // Only one generation is kept, and no notes is an empty file.
        QCOMPARE(kindText(writeNotesFile(dat, old, {})), u"no failure"_s);
        QCOMPARE(QFileInfo(dat).size(), 0);
        QCOMPARE(readAll(old), encodeNotes(second));
        QVERIFY(decodeNotes(readAll(old)).notes == second);
        QCOMPARE(entries(dir.path()), (QStringList{u"notes.dat"_s, u"notes.old"_s}));
    }

    void aFailedWriteLeavesTheSavedNotesAlone()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());

        // A regular file where the folder should be cannot be written into, even by root.
        const QString blocker = dir.filePath(u"notes"_s);
        QVERIFY(writeBytes(blocker, "not a folder"));
        const auto intoFile = writeNotesFile(blocker + u"/notes.dat"_s, blocker + u"/notes.old"_s, {buyMilk()});
        QVERIFY(intoFile.has_value());
        QCOMPARE(readAll(blocker), QByteArray("not a folder"));
        QCOMPARE(entries(dir.path()), QStringList{u"notes"_s});

        // The new generation is complete but the backup cannot be made: the saved notes stay as they were.
        const QString dat = dir.filePath(u"notes.dat"_s);
        QCOMPARE(kindText(writeNotesFile(dat, dir.filePath(u"notes.old"_s), {buyMilk()})), u"no failure"_s);
        const auto noBackup = writeNotesFile(dat, blocker + u"/notes.old"_s, {busyNote(u"lost"_s)});
        QVERIFY(noBackup.has_value());
        QCOMPARE(readAll(dat), BuyMilkRecord);
        QCOMPARE(entries(dir.path()), (QStringList{u"notes"_s, u"notes.dat"_s}));
    }
};

QTEST_GUILESS_MAIN(tst_NoteFile)
#include "tst_NoteFile.moc"

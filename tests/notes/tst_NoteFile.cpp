// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <tuple>
#include <variant>

using namespace Qt::StringLiterals;
using namespace NoteSamples;
using platform::ErrorKind;

namespace {

QString kindText(std::optional<ErrorKind> kind)
{
    return kind ? platform::errorText(*kind) : u"no failure"_s;
}

// The note whose record is written out by hand below.
const NoteRecord BuyMilk = [] {
    NoteRecord note = stored(u"Buy milk"_s, 3840, 4215, 3000, 2500);
    std::tie(note.created, note.fontSize) = std::tuple(u"1999-09-07  17:33:26"_s, 10);
    return note;
}();

const QByteArray BuyMilkRecord = QByteArrayLiteral(
    "8\r\n"
    "Buy milk\r\n"
    "4215,3840,3000,2500,3000,2500,#TRUE#,\"NO_DATE_SET\",\"13:25\",\"-1\",\"1999-09-07  17:33:26\",10,"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");

// A note whose every field differs from the defaults and from each other, so a dropped or swapped field shows.
NoteRecord busyNote(const QString &text)
{
    // Left of the primary screen.
    NoteRecord note = withAlarm(stored(text, -120, 4215, 3000, 2500), u"2026-12-24"_s, u"07:45"_s, u"3"_s);
    std::tie(note.oldWidth, note.oldHeight, note.visible, note.fontSize, note.title) =
        std::tuple(3100, 2600, false, 12, u"Größe, heute"_s);
    return note;
}

// The Buy milk field line with some fields (counted from 1) replaced; none of its fields holds a comma.
QByteArray fieldsWith(const std::map<int, QByteArray> &changes)
{
    QByteArrayList fields = BuyMilkRecord.split('\n')[2].chopped(1).split(',');
    for (const auto &[field, value] : changes)
        fields[field - 1] = value;
    return fields.join(',');
}

QByteArray record(const QByteArray &text, const QByteArray &fieldLine)
{
    return QByteArray::number(text.size()) + "\r\n" + text + "\r\n" + fieldLine + "\r\n";
}

// A file the saver left is complete only if it holds exactly the notes of one generation; returns the generation,
// or the problem.
std::variant<int, QString> readGeneration(const QString &path)
{
    const DecodedNotes decoded = decodeNotes(NoteSamples::fileBytes(path));
    const int generation = decoded.notes.value(0).top;
    if (decoded.failure)
        return path + u" is damaged: "_s + platform::errorText(*decoded.failure);
    if (generation < 1 || decoded.notes != NoteSamples::saverGeneration(generation))
        return path + u" is not one whole generation: %1 notes, the first of generation %2"_s.arg(decoded.notes.size())
                          .arg(generation);
    return generation;
}

} // namespace

class tst_NoteFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void notesComeBackAsWritten()
    {
        QCOMPARE(encodeNotes({BuyMilk}), BuyMilkRecord);
        QCOMPARE(encodeNotes({}), QByteArray());
        QCOMPARE(kindText(decodeNotes(QByteArray()).failure), u"no failure"_s);

        // Multi-byte text, text that is no quoted field (quotes, commas, the old separator), no text at all, text
        // that ends in CR LF and looks like a record of its own, and line breaks as an edit box (LF) or older files
        // (a lone CR) gave them: the file has CR LF.
        const QStringList awkward = {u"Käse 日本 😀"_s, u"He said \"no\", a$-$b,,"_s, QString(),
                                     u"3\r\nabc\r\n1,2,\"x\r\n"_s, u"a\nb\r\nc\rd"_s};
        QList<NoteRecord> notes;
        for (const QString &text : awkward)
            notes << busyNote(text);
        notes[2] = collapse(notes[2]);
        // A double quote in a quoted field is written as a single one.
        notes[1].title = u"Call \"Bob\", later"_s;
        notes[1].alarmDate = u"\"soon\""_s;
        notes[1].alarmTime = u"7\""_s;
        notes[1].created = u"x\"y"_s;
        notes << BuyMilk;

        const QByteArray bytes = encodeNotes(notes);
        // The length counts bytes (ä two, each CJK character three, the emoji four, CR LF two) and the fields
        // follow directly.
        QVERIFY2(bytes.startsWith(QByteArray("17\r\n" + awkward[0].toUtf8() + "\r\n4215,-120,")), bytes.constData());
        QVERIFY2(bytes.contains("\r\n10\r\na\r\nb\r\nc\r\nd\r\n4215,"), bytes.constData());
        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        notes[1].title = u"Call 'Bob', later"_s;
        notes[1].alarmDate = u"'soon'"_s;
        notes[1].alarmTime = u"7'"_s;
        notes[1].created = u"x'y"_s;
        notes[4].text = u"a\r\nb\r\nc\r\nd"_s;
        QCOMPARE(decoded.notes, notes);
    }

    void onlyTheExactTabSizeIsCollapsed()
    {
        const auto collapsed = [](int width, int height) { return isCollapsed(stored({}, 0, 0, width, height)); };
        QVERIFY(collapsed(650, 370) && !collapsed(651, 370) && !collapsed(650, 371));
    }

    // Older copies wrote Windows-1252, and numbers with fractions: those are rounded half to even, up to their
    // limits.
    void olderFilesAreReadAsTheyWereMeant()
    {
        const QByteArray halves = fieldsWith(
            {{1, "2.5"}, {2, "3.5"}, {3, "-2.5"}, {4, "-3.5"}, {5, "2999.4"}, {6, "2147483647"}, {12, "9.5"}});
        const QByteArray old = fieldsWith({{1, "4215.6"}, {12, "32767"}, {13, "\"sm\xF6rg\xE5s\""}});
        const DecodedNotes decoded = decodeNotes(record("a", halves) + record("K\xE4se \x80 \x93Hallo\x94", old));
        QCOMPARE(kindText(decoded.failure), u"no failure"_s);
        NoteRecord a = BuyMilk;
        std::tie(a.text, a.top, a.left, a.width, a.height, a.oldWidth, a.oldHeight) =
            std::tuple(u"a"_s, 2, 4, -2, -4, 2999, 2147483647);
        NoteRecord b = BuyMilk;
        std::tie(b.text, b.top, b.fontSize, b.title) = std::tuple(u"Käse € “Hallo”"_s, 4216, 32767, u"smörgås"_s);
        QCOMPARE(decoded.notes, (QList<NoteRecord>{a, b}));
    }

    void aDamagedFileKeepsTheNotesBeforeTheDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("notesRead");
        QTest::addColumn<ErrorKind>("failure");
        const QByteArray good = BuyMilkRecord;
        const auto row = [](const char *name, const QByteArray &bytes, ErrorKind failure, int notesRead = 1) {
            QTest::newRow(name) << bytes << notesRead << failure;
        };
        row("length past the end", good + "500\r\nonly a few bytes\r\n" + fieldsWith({}) + "\r\n",
            ErrorKind::InputPastEnd);
        row("length line cut off", good + good + "12", ErrorKind::InputPastEnd, 2);
        row("22 fields", good + record("short", fieldsWith({}).chopped(3)) + good, ErrorKind::InputPastEnd);
        row("quoted field never closed", good + record("open", "4215,3840,3000,2500,3000,2500,#TRUE#,\"NO_DATE_SET"),
            ErrorKind::InputPastEnd);
        row("length not a number", good + "eight\r\nBuy milk\r\n" + fieldsWith({}) + "\r\n", ErrorKind::TypeMismatch);
        row("visible neither true nor false", good + record("v", fieldsWith({{7, "#MAYBE#"}})),
            ErrorKind::TypeMismatch);
        row("damage in the first record", record("x", fieldsWith({{4, "tall"}})) + good, ErrorKind::TypeMismatch, 0);
        row("font size 32767.5 rounds past the limit", good + record("f", fieldsWith({{12, "32767.5"}})),
            ErrorKind::Overflow);
        row("font size -40000", good + record("f", fieldsWith({{12, "-40000"}})), ErrorKind::Overflow);
        row("top beyond 32 bits", good + record("t", fieldsWith({{1, "2147483648"}})), ErrorKind::Overflow);
    }
    void aDamagedFileKeepsTheNotesBeforeTheDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, notesRead);
        QFETCH(ErrorKind, failure);
        const DecodedNotes decoded = decodeNotes(bytes);
        QCOMPARE(kindText(decoded.failure), kindText(failure));
        QCOMPARE(decoded.notes, QList<NoteRecord>(notesRead, BuyMilk));
    }

    // A regular file where a folder should be cannot be written into, even by root. When the backup cannot be made,
    // the new generation is dropped and the saved notes stay as they were.
    void aFailedWriteChangesNothing()
    {
        QTemporaryDir dir;
        const QString dat = dir.filePath(u"notes.dat"_s);
        QCOMPARE(kindText(writeNotesFile(dat, dir.filePath(u"notes.old"_s), {BuyMilk})), u"no failure"_s);
        const QString blocker = dir.filePath(u"notes"_s);
        QVERIFY(writeFile(blocker, "not a folder"));
        QVERIFY(writeNotesFile(blocker + u"/notes.dat"_s, blocker + u"/notes.old"_s, {BuyMilk}).has_value());
        QVERIFY(writeNotesFile(dat, blocker + u"/notes.old"_s, {busyNote(u"lost"_s)}).has_value());
        QCOMPARE(fileBytes(dat), BuyMilkRecord);
        QCOMPARE(fileBytes(blocker), QByteArray("not a folder"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
                 (QStringList{u"notes"_s, u"notes.dat"_s}));
    }

    void aSaverKilledAtAnyMomentLeavesACompleteNotesFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString dat = dir.filePath(u"notes.dat"_s);
        const QString old = dir.filePath(u"notes.old"_s);
        const QString partial = dat + u".new"_s;

        QRandomGenerator random(20261206);
        // Only kills that land inside a write prove anything; the saver is killed until enough of them did. On a
        // quiet machine two kills in three do; on a loaded one the saver may not have run at all by the kill, and
        // one in ten did. The limit is only against a saver that never writes. Under the sanitizers on a busy
        // machine each start takes long: after two minutes a fifth of the kills wanted will do.
        constexpr int MidWriteKillsWanted = 110;
        constexpr int MidWriteKillsEnough = MidWriteKillsWanted / 5;
        QElapsedTimer running;
        running.start();
        const auto enough = [&](int killedMidWrite) {
            return killedMidWrite >= MidWriteKillsWanted ||
                   (killedMidWrite >= MidWriteKillsEnough && running.elapsed() > 120'000);
        };
        int kills = 0;
        int killedMidWrite = 0;
        int highestGeneration = 0;
        for (; !enough(killedMidWrite) && kills < 3000; ++kills) {
            // A QProcess still running when a check fails is killed by its destructor, so none is left behind.
            QProcess saver;
            saver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            saver.start(QString::fromUtf8(NOTES_SAVER), {dir.path()});
            QVERIFY2(saver.waitForReadyRead(10000), "notes_saver did not start");
            const int delay = kills == 0 ? 0 : random.bounded(2, 51);
            // The checks below need a first notes.dat; every later run starts over it.
            if (kills == 0)
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dat), 10000);
            QTest::qSleep(delay);
            QVERIFY2(saver.state() == QProcess::Running, "notes_saver stopped by itself");
            saver.kill();
            QVERIFY(saver.waitForFinished(10000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

            killedMidWrite += QFile::exists(partial) ? 1 : 0;
            // notes.dat is never missing, and it and its backup (a former notes.dat) are each one whole generation.
            QVERIFY2(QFile::exists(dat), qPrintable(u"notes.dat missing after kill %1"_s.arg(kills)));
            for (const QString &path : {dat, old}) {
                const auto saved = QFile::exists(path) ? readGeneration(path) : 0;
                if (const QString *problem = std::get_if<QString>(&saved))
                    QFAIL(qPrintable(u"after kill %1 at %2 ms: "_s.arg(kills).arg(delay) + *problem));
                highestGeneration = std::max(highestGeneration, std::get<int>(saved));
            }
        }
        qInfo("%d kills, %d inside a write, highest generation %d", kills, killedMidWrite, highestGeneration);
        QVERIFY(enough(killedMidWrite));
        QVERIFY(highestGeneration > 1);
    }
};

QTEST_GUILESS_MAIN(tst_NoteFile)
#include "tst_NoteFile.moc"

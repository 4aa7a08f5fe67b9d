// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "notes/NoteFile.h"
#include "notes/NoteTable.h"
#include "platform/SingleInstance.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>

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

const QByteArray TwoNotes = "Tarnibe notes\n\n## Milk\nCreated: 2026-11-30  08:00:00\nAlarm: none\n> Milk\n\n## Eggs\n"
                            "Created: 2026-11-30  08:01:00\nAlarm: 24-Dec-2027 at 09:30, once\n> Eggs\n";

// The real program in the test's folders, run from them; the commands with no display of any kind.
class Commands : public TestEnvironment {
public:
    // "exit code|standard output|standard error", the root folder written as <root>.
    QString run(const QStringList &arguments)
    {
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            environment.remove(name);
        command.setProcessEnvironment(environment);
        command.setWorkingDirectory(root());
        command.start(QStringLiteral(TARNIBE_BINARY), arguments);
        if (!command.waitForFinished(60000) || command.exitStatus() != QProcess::NormalExit)
            return u"did not end"_s;
        QString result = QString::number(command.exitCode()) + u'|' +
                         QString::fromUtf8(command.readAllStandardOutput()) + u'|' +
                         QString::fromUtf8(command.readAllStandardError());
        return result.replace(root(), u"<root>"_s);
    }
    // A suite on the offscreen platform, answering a second launch.
    bool startSuite()
    {
        m_suite.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        m_suite.setProcessEnvironment(environment);
        m_suite.start(QStringLiteral(TARNIBE_BINARY), {});
        return QTest::qWaitFor([] { return platform::SingleInstance::askRunningCopyToShow(500); }, 30000);
    }
    bool endSuite()
    {
        ::kill(pid_t(m_suite.processId()), SIGTERM);
        return m_suite.waitForFinished(30000) && m_suite.exitCode() == 0;
    }

private:
    QProcess m_suite;
};

} // namespace

class tst_NotesCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // With no suite running the command works on the notes file; what it cannot do it says, and touches nothing.
    void withoutASuiteTheCommandWorksOnTheFiles()
    {
        Commands commands;
        QVERIFY(writeFile(commands.root() + u"/two.txt"_s, TwoNotes));
        QCOMPARE(commands.run({u"--import-notes"_s, u"two.txt"_s}),
                 u"0|Found 2 notes in <root>/two.txt. Added them as new notes.\n|"_s);
        QCOMPARE(commands.run({u"--export-notes"_s, u"out.dat"_s}),
                 u"0|Exported 2 notes to <root>/out.dat as a notes file.\n|"_s);
        QCOMPARE(fileBytes(commands.root() + u"/out.dat"_s), fileBytes(NotesFilePath()));

        // A notes file in the single-byte code page older copies wrote is read as a start reads it.
        QVERIFY(writeFile(commands.root() + u"/old.dat"_s,
                          "4\r\nK\xE4se\r\n0,0,3000,2500,3000,2500,#TRUE#,\"\",\"\",\"-1\",\"\",10" +
                              QByteArray(",\"\"").repeated(11) + "\r\n"));
        QCOMPARE(commands.run({u"--import-notes"_s, u"old.dat"_s}),
                 u"0|Found 1 note in <root>/old.dat. Added it as a new note.\n|"_s);
        QCOMPARE(decodeNotes(fileBytes(NotesFilePath())).notes.value(2).text, u"Käse"_s);

        // Anything else adds nothing, and leaves the notes file as it was.
        const QByteArray before = fileBytes(NotesFilePath());
        QVERIFY(writeFile(commands.root() + u"/bad.txt"_s, "Tarnibe notes\n## x\nTitle: x\n"));
        QVERIFY(writeFile(commands.root() + u"/elf"_s, QByteArray::fromHex("7f454c46020101000000")));
        const std::pair<QStringList, QString> failures[] = {
            {{u"--import-notes"_s, u"missing"_s}, u"2||tarnibe: Cannot read <root>/missing: no such file.\n"_s},
            {{u"--import-notes"_s, u"bad.txt"_s},
             u"2||tarnibe: Cannot import <root>/bad.txt: line 3 is not part of a note; nothing was added.\n"_s},
            {{u"--import-notes"_s, u"elf"_s},
             u"2||tarnibe: Cannot import <root>/elf: neither a Tarnibe notes file nor exported notes; nothing was "
             u"added.\n"_s},
            {{u"--export-notes"_s, u"bad.txt/out"_s, u"--text"_s},
             u"2||tarnibe: Cannot write <root>/bad.txt/out: <root>/bad.txt is not a folder.\n"_s},
            {{u"--import-notes"_s, u"two.txt"_s, u"--text"_s},
             u"1||tarnibe: --text goes with --export-notes only\nUsage: tarnibe --export-notes FILE [--text]\n"
             u"       tarnibe --import-notes FILE\n"_s},
        };
        for (const auto &[arguments, expected] : failures)
            QCOMPARE(commands.run(arguments), expected);
        QCOMPARE(fileBytes(NotesFilePath()), before);
    }

    // With a suite running, the suite does the work: what it imported is in what it exports and in what it saves at
    // its end, which a command writing the file beside it would have lost.
    void withASuiteRunningItDoesTheWork()
    {
        Commands commands;
        QVERIFY(writeFile(commands.root() + u"/two.txt"_s, TwoNotes));
        QVERIFY(commands.startSuite());
        QCOMPARE(commands.run({u"--import-notes"_s, u"two.txt"_s}),
                 u"0|Found 2 notes in <root>/two.txt. Added them as new notes.\n|"_s);
        QCOMPARE(commands.run({u"--import-notes"_s, u"missing"_s}),
                 u"2||tarnibe: Cannot read <root>/missing: no such file.\n"_s);
        QCOMPARE(commands.run({u"--export-notes"_s, u"out.txt"_s, u"--text"_s}),
                 u"0|Exported 2 notes to <root>/out.txt as text.\n|"_s);
        QCOMPARE(fileBytes(commands.root() + u"/out.txt"_s).count("\n## "), 2);
        QVERIFY(commands.endSuite());
        const QList<NoteRecord> stored = decodeNotes(fileBytes(NotesFilePath())).notes;
        QVERIFY(stored.size() == 2 && stored[0].text == u"Milk"_s && stored[1].text == u"Eggs"_s);
    }
};

QTEST_GUILESS_MAIN(tst_NotesCommand)
#include "tst_NotesCommand.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Real tarnibe processes with folders of their own.
class Suite {
public:
    Suite()
    {
        for (const char *name : {"config", "data", "runtime", "cache"})
            QDir(m_root.path()).mkpath(QString::fromLatin1(name));
        QFile::setPermissions(m_root.filePath(u"runtime"_s),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // This process asks the running copy through the same runtime folder as a second launch would.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_root.filePath(u"runtime"_s)));
    }
    ~Suite()
    {
        for (auto &process : m_processes) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QProcess *start()
    {
        auto *process = m_processes.emplace_back(std::make_unique<QProcess>()).get();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"config", "data", "cache"})
            env.insert(u"XDG_"_s + QString::fromLatin1(name).toUpper() + u"_HOME"_s,
                       m_root.filePath(QString::fromLatin1(name)));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_root.filePath(u"runtime"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"TARNIBE_NOTE_PORT"_s, u"0"_s); // tests run side by side; none takes port 1001
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TARNIBE_BINARY), {});
        return process;
    }
    // Starts the first copy and waits until its main loop runs: it answers a second launch's request.
    QProcess *startAndWait()
    {
        QProcess *process = start();
        if (!QTest::qWaitFor([] { return platform::SingleInstance::askRunningCopyToShow(500); }, 10000))
            return nullptr;
        return process;
    }

    QString settingsPath() const { return m_root.filePath(u"config/Tarnibe/Tarnibe.conf"_s); }
    QStringList logLines() const
    {
        QFile file(m_root.filePath(u"data/Tarnibe/error.log"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts)
                                              : QStringList();
    }
    // Every file of the suite's folders with a hash of its bytes and its modification time.
    QStringList snapshot() const
    {
        QStringList files;
        for (QDirIterator it(m_root.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile file(it.next());
            const QString folder = QDir(m_root.path()).relativeFilePath(file.fileName()).section(u'/', 0, 0);
            if ((folder != u"config"_s && folder != u"data"_s) || !file.open(QIODevice::ReadOnly))
                continue;
            files << file.fileName() + u' ' +
                         QString::fromLatin1(
                             QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()) +
                         u' ' + QString::number(file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }

private:
    QTemporaryDir m_root;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

class tst_Process : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aTerminatedSuiteSavesAndEndsWithinASecond()
    {
        Suite suite;
        QProcess *process = suite.startAndWait();
        QVERIFY(process);
        QFile::remove(suite.settingsPath()); // whatever is there now was written on the way out
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(5000));
        QCOMPARE_LT(timer.elapsed(), 1000);
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);

        const QStringList log = suite.logLines();
        QCOMPARE(log.size(), 2);
        QVERIFY(log[0].startsWith(u"\"BEGIN\""_s));
        QVERIFY(log[1].startsWith(u"\"Ending windows session:2\""_s));
        QSettings settings(suite.settingsPath(), QSettings::IniFormat);
        settings.beginGroup(u"Settings"_s);
        QCOMPARE(settings.value(u"totStart"_s).toString(), u"1"_s);
        QCOMPARE(settings.value(u"EndByEnd"_s).toString(), u"False"_s);
        QCOMPARE(settings.childKeys().size(), 75);
    }

    void aSecondLaunchEndsAtOnceAndTouchesNothing()
    {
        Suite suite;
        QProcess *first = suite.startAndWait();
        QVERIFY(first);
        const QStringList before = suite.snapshot();
        QVERIFY(!before.isEmpty());

        QProcess *second = suite.start();
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(suite.snapshot(), before);
        QCOMPARE(first->state(), QProcess::Running);

        ::kill(pid_t(first->processId()), SIGTERM);
        QVERIFY(first->waitForFinished(5000));
        // A new launch after the first has ended runs normally.
        QVERIFY(suite.startAndWait());
        QCOMPARE(suite.logLines().size(), 3);
    }
};

QTEST_GUILESS_MAIN(tst_Process)
#include "tst_Process.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Real tarnibe processes on the test's own folders, which they inherit with the rest of its environment.
class Suite : public TestEnvironment {
public:
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
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TARNIBE_BINARY), {});
        return process;
    }
    // Starts a copy and waits until its main loop runs: it answers a second launch's request.
    QProcess *startAndWait()
    {
        QProcess *process = start();
        return QTest::qWaitFor([] { return platform::SingleInstance::askRunningCopyToShow(500); }, 10000) ? process
                                                                                                          : nullptr;
    }
    // Every file of the suite's folders with a hash of its bytes and its modification time.
    QStringList snapshot() const
    {
        QStringList files;
        for (const char *folder : {"/config", "/data"}) {
            for (QDirIterator it(root() + QLatin1StringView(folder), QDir::Files, QDirIterator::Subdirectories);
                 it.hasNext();) {
                QFile file(it.next());
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
                files << file.fileName() + u' ' + QString::fromLatin1(hash.toHex()) + u' ' +
                             QString::number(file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
            }
        }
        files.sort();
        return files;
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

class tst_Process : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSecondLaunchTouchesNothingAndATerminatedSuiteSaves()
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

        // Whatever the file holds after SIGTERM was written on the way out: every key, as the end of a session.
        QFile::remove(suite.settingsPath());
        ::kill(pid_t(first->processId()), SIGTERM);
        QVERIFY(first->waitForFinished(5000));
        QCOMPARE(first->exitCode(), 0);
        QSettings settings(suite.settingsPath(), QSettings::IniFormat);
        settings.beginGroup(u"Settings"_s);
        QCOMPARE(settings.value(u"EndByEnd"_s).toString(), u"False"_s);
        QCOMPARE(settings.childKeys().size(), 75);

        // A new launch after the first has ended runs normally.
        QVERIFY(suite.startAndWait());
    }
};

QTEST_GUILESS_MAIN(tst_Process)
#include "tst_Process.moc"

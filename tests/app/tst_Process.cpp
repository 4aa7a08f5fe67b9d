// SPDX-License-Identifier: GPL-3.0-or-later
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

// A real tarnibe process with folders of its own.
class Suite {
public:
    explicit Suite(const QString &root) : m_root(root)
    {
        for (const char *name : {"config", "data", "runtime", "cache"})
            QDir(root).mkpath(QString::fromLatin1(name));
        QFile::setPermissions(root + u"/runtime"_s,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QProcess *start()
    {
        auto *process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_root + u"/config"_s);
        env.insert(u"XDG_DATA_HOME"_s, m_root + u"/data"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, m_root + u"/runtime"_s);
        env.insert(u"XDG_CACHE_HOME"_s, m_root + u"/cache"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"TARNIBE_NOTE_PORT"_s, u"0"_s); // tests run side by side; none takes port 1001
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TARNIBE_BINARY), {});
        m_processes.emplace_back(process);
        return process;
    }

    ~Suite()
    {
        for (auto &process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QString settingsPath() const { return m_root + u"/config/Tarnibe/Tarnibe.conf"_s; }
    QString logPath() const { return m_root + u"/data/Tarnibe/error.log"_s; }
    QStringList logLines() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    }
    bool started() const { return !logLines().isEmpty() && QFile::exists(settingsPath()); }

    // Every file of the suite's folders with a hash of its bytes and its modification time.
    QStringList snapshot() const
    {
        QStringList files;
        for (const char *folder : {"config", "data"}) {
            QDirIterator it(m_root + u'/' + QString::fromLatin1(folder), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                files << file.fileName() + u' ' +
                             QString::fromLatin1(
                                 QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()) +
                             u' ' +
                             QString::number(file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
            }
        }
        files.sort();
        return files;
    }

private:
    QString m_root;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

class tst_Process : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aTerminatedSuiteSavesAndEndsWithinASecond()
    {
        QTemporaryDir dir;
        Suite suite(dir.path());
        QProcess *process = suite.start();
        QVERIFY(process->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(suite.started(), 10000);
        QTest::qWait(300);

        QFile::remove(suite.settingsPath()); // whatever is there now was written on the way out
        QElapsedTimer timer;
        timer.start();
        ::kill(pid_t(process->processId()), SIGTERM);
        QVERIFY(process->waitForFinished(5000));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);

        const QStringList log = suite.logLines();
        QCOMPARE(log.size(), 2);
        QVERIFY(log[0].startsWith(u"\"BEGIN\""_s));
        QVERIFY(log[1].startsWith(u"\"Ending windows session:2\""_s));
        QSettings settings(suite.settingsPath(), QSettings::IniFormat);
        QCOMPARE(settings.value(u"Settings/totStart"_s).toString(), u"1"_s);
        QCOMPARE(settings.value(u"Settings/StartNotes"_s).toString(), u"1"_s);
        QCOMPARE(settings.value(u"Settings/EndByEnd"_s).toString(), u"False"_s);
        settings.beginGroup(u"Settings"_s);
        QCOMPARE(settings.childKeys().size(), 75);
    }

    void aSecondLaunchEndsAtOnceAndTouchesNothing()
    {
        QTemporaryDir dir;
        Suite suite(dir.path());
        QProcess *first = suite.start();
        QTRY_VERIFY_WITH_TIMEOUT(suite.started(), 10000);
        QTest::qWait(300);
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
        QProcess *third = suite.start();
        QTRY_VERIFY_WITH_TIMEOUT(suite.logLines().size() == 3, 10000);
        QCOMPARE(third->state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(tst_Process)
#include "tst_Process.moc"

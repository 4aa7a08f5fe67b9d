// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <future>

using namespace Qt::StringLiterals;

class tst_SingleInstance : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_runtime;

private Q_SLOTS:
    // Each test has a runtime folder of its own.
    void init()
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
        QFile::setPermissions(m_runtime->path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void oneCopyOnlyAndASecondLaunchAsksItToShow()
    {
        platform::SingleInstance running;
        QVERIFY(running.acquire());
        QSignalSpy shown(&running, &platform::SingleInstance::showRequested);
        QVERIFY(!platform::SingleInstance().acquire());

        // The asking side blocks as a second launch does, so it runs beside this thread's event loop.
        auto answered =
            std::async(std::launch::async, [] { return platform::SingleInstance::askRunningCopyToShow(3000); });
        QTRY_COMPARE(shown.size(), 1);
        QTRY_VERIFY(answered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
        QVERIFY(answered.get());
    }

    void aLockLeftByACrashedCopyIsTakenOver()
    {
        // The lock of a copy that died without cleaning up: its process no longer exists.
        QFile stale(m_runtime->filePath(u"tarnibe.lock"_s));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("2147483646\ntarnibe\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        platform::SingleInstance next;
        QVERIFY(next.acquire());
        QVERIFY(!platform::SingleInstance().acquire());
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"

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

private Q_SLOTS:
    void oneCopyOnlyAndASecondLaunchAsksItToShow()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        platform::SingleInstance running;
        QVERIFY(running.acquire());
        QSignalSpy shown(&running, &platform::SingleInstance::showRequested);

        platform::SingleInstance second;
        QVERIFY(!second.acquire());

        // The asking side blocks as a second launch does, so it runs beside this thread's event loop.
        auto answered =
            std::async(std::launch::async, [] { return platform::SingleInstance::askRunningCopyToShow(3000); });
        QTRY_COMPARE(shown.size(), 1);
        QTRY_VERIFY(answered.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
        QVERIFY(answered.get());
    }

    void aLockLeftByACrashedCopyIsTakenOver()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // The lock of a copy that died without cleaning up: its process no longer exists.
        QFile stale(runtime.filePath(u"tarnibe.lock"_s));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("2147483646\ntarnibe\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();

        platform::SingleInstance next;
        QVERIFY(next.acquire());
        platform::SingleInstance another;
        QVERIFY(!another.acquire());
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"

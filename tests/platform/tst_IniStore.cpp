// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

using namespace Qt::StringLiterals;

class tst_IniStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A file of its own for each check, with `body` written by hand unless it is null.
    QString newFile(const QByteArray &body = {})
    {
        const QString path = m_dir.filePath(u"Tarnibe%1.conf"_s.arg(++m_files));
        QFile file(path);
        if (!body.isNull() && (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size()))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void keysMatchWithoutRegardToCaseAndKeepOneSpelling()
    {
        const QString path = m_dir.filePath(u"sub/Tarnibe.conf"_s);
        {
            platform::IniStore store(path);
            store.setValue(u"Settings"_s, u"NbrOfAccounts"_s, u"1"_s);
            store.setValue(u"Settings"_s, u"NBROFACCOUNTS"_s, u"3"_s);
            QVERIFY(store.sync());
            QCOMPARE(store.value(u"Settings"_s, u"nbrofaccounts"_s), std::optional<QString>(u"3"_s));
            QCOMPARE(store.value(u"Other"_s, u"NbrOfAccounts"_s), std::optional<QString>());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.count("NbrOfAccounts=3"), 1);
        QVERIFY(!text.contains("NBROFACCOUNTS"));
    }

    void awkwardValuesComeBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");
        // Commas, quotes and blanks at the ends come back through the settings fuzzer's seeds.
        QTest::newRow("control characters") << u"\u0001\u007f\u0080\u009f\u00ff"_s;
        QTest::newRow("unicode") << u"Åsa Öberg €"_s;
        QTest::newRow("backslashes, equals, hash") << u"C:\\Program Files\\mail.exe;x=y #z"_s;
        QTest::newRow("empty") << QString();
    }
    void awkwardValuesComeBackUnchanged()
    {
        QFETCH(QString, value);
        const QString path = newFile();
        {
            platform::IniStore store(path);
            store.setValue(u"Settings"_s, u"Key"_s, value);
            QVERIFY(store.sync());
        }
        QCOMPARE(platform::IniStore(path).value(u"Settings"_s, u"key"_s), std::optional<QString>(value));
    }

    void aHandWrittenListIsReadAsOneText()
    {
        platform::IniStore store(newFile("[Settings]\nEmailPath=mutt, -y\n"));
        QCOMPARE(store.value(u"Settings"_s, u"EmailPath"_s), std::optional<QString>(u"mutt,-y"_s));
    }

    void theFileIsTheOwnersAlone()
    {
        const QString path = newFile("");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        platform::IniStore store(path);
        store.setValue(u"Settings"_s, u"PassWord"_s, u"x"_s);
        QVERIFY(store.sync());
        namespace fs = std::filesystem;
        QCOMPARE(fs::status(path.toStdString()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }

    void aFailedWriteIsReported()
    {
        const QString path = newFile();
        platform::IniStore store(path);
        // Something that is no file stands where the settings go; even root cannot replace it.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + u"/blocked"_s));
        store.setValue(u"Settings"_s, u"Key"_s, u"value"_s);
        QVERIFY(!store.sync());
    }
};

QTEST_GUILESS_MAIN(tst_IniStore)
#include "tst_IniStore.moc"

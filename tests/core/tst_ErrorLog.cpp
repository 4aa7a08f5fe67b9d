// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/DateText.h"
#include "core/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ErrorLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A message is written as it is, quotes and all.
    void aLineIsTwoQuotedFieldsAndCrLf()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 9, 7), QTime(17, 33, 26)));
        ErrorLog(u"err_Bas_SaveAllNotes 53 a \"quoted\" word, and ünïcode"_s);
        LogError(u"err_tb_Form_Load "_s, platform::ErrorKind::TypeMismatch);
        LogError(u"err_tb_tcpClient_Connect "_s, 10061, u"Connection is forcefully rejected"_s);
        QFile file(env.logPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 u"\"err_Bas_SaveAllNotes 53 a \"quoted\" word, and ünïcode\",\"17:33:26 : 1999-09-07\"\r\n"
                 "\"err_tb_Form_Load 13 Type mismatch\",\"17:33:26 : 1999-09-07\"\r\n"
                 "\"err_tb_tcpClient_Connect 10061 Connection is forcefully rejected\","
                 "\"17:33:26 : 1999-09-07\"\r\n"_s.toUtf8());
    }

    void theLineThatPassesTheLimitDeletesTheLog()
    {
        TestEnvironment env;
        const QString filler(200, u'x');
        // Each line is 200 + 2 quotes + comma + 2 quotes + 21-character stamp + CR LF = 228 bytes.
        const qint64 lineBytes = 228;
        const qint64 linesToLimit = ErrorLogLimit / lineBytes; // 4385 lines stay at or below the limit
        for (qint64 i = 0; i < linesToLimit; ++i)
            ErrorLog(filler);
        QCOMPARE(QFile(env.logPath()).size(), linesToLimit * lineBytes);
        QVERIFY(QFile::exists(env.logPath()));

        ErrorLog(filler); // passes 1,000,000 bytes
        QVERIFY(!QFile::exists(env.logPath()));
        ErrorLog(u"first of a new file"_s);
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"first of a new file\""_s));
    }

    void anUnwritableLogIsIgnored()
    {
        TestEnvironment env;
        QVERIFY(QDir().mkpath(env.logPath())); // a folder where the file should be
        ErrorLog(u"lost, silently"_s);
        QVERIFY(QFileInfo(env.logPath()).isDir());
    }
};

QTEST_GUILESS_MAIN(tst_ErrorLog)
#include "tst_ErrorLog.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// Times the mail check against a real Dovecot on loopback: 10 accounts of 1,000 messages each. A first check, a
// second check of the unchanged mailboxes, and the same second check done the old way, every header fetched again.
// Prints milliseconds, the median of 5 runs each (the first check once, as only one check can be the first).
#include "Pop3TestServer.h"
#include "core/AutodialFlags.h"
#include "core/ProgramHost.h"
#include "core/Settings.h"
#include "mail/Pop3Client.h"
#include "mail/form_NotifyMail.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSslCertificate>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class Lifecycle : public ProgramLifecycle {
public:
    void exitProgram(Program, TrayOwner *, const std::function<void()> &) override {}
    void showControlPanel() override {}
    void openHelp(const QString &) override {}
};

double timedCheck(form_NotifyMail &notify)
{
    QElapsedTimer timer;
    timer.start();
    QSignalSpy finished(&notify.engine(), &MailCheck::finished);
    notify.CheckMail();
    if (!finished.wait(600'000))
        std::fprintf(stderr, "a check did not end\n");
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    notify.timer_DisableAutoDial_Timer();
    notify.hide();
    return ms;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + u"/config"_s));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + u"/data"_s));
    platform::setMessageResponder([](const platform::MessageRequest &box) { return box.defaultAnswer; });
    if (!DovecotServer::installed()) {
        std::fprintf(stderr, "Dovecot is not installed (scripts/install-deps.sh test installs it)\n");
        return 1;
    }
    constexpr int Accounts = 10;
    constexpr int Messages = 1000;
    QString why;
    DovecotServer server(true);
    for (int a = 1; a <= Accounts; ++a) {
        const QString user = u"user%1"_s.arg(a);
        server.addUser(user, u"secret"_s);
        for (int m = 1; m <= Messages; ++m)
            server.deliver(user, "From: Sender " + QByteArray::number(m) +
                                     " <s@example.org>\r\nSubject: =?UTF-8?Q?M=C3=A4il_" + QByteArray::number(m) +
                                     "?=\r\n\r\nBody\r\n");
    }
    if (!server.start(&why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    Pop3Client::trustCertificates(QSslCertificate::fromPath(DovecotServer::Here.filePath(u"cert.pem"_s)));
    SettingsRecord &s = Settings();
    s.NbrofAccounts = Accounts;
    for (int a = 0; a < Accounts; ++a) {
        s.POPServer[size_t(a)] = u"127.0.0.1:"_s + QString::number(server.plainPort);
        s.UserName[size_t(a)] = u"user%1"_s.arg(a + 1);
        s.PassWord[size_t(a)] = u"secret"_s;
    }
    Lifecycle lifecycle;
    form_NotifyMail notify(lifecycle);

    const double first = timedCheck(notify);
    std::vector<double> unchanged;
    std::vector<double> everyHeader;
    for (int run = 0; run < 5; ++run) {
        unchanged.push_back(timedCheck(notify));
        for (MailboxMemory &mailbox : notify.engine().mailboxes)
            mailbox.headers.clear(); // the old way: nothing remembered but the count
        everyHeader.push_back(timedCheck(notify));
    }
    std::printf("10 accounts x 1,000 messages over STLS: first check %.0f ms; unchanged check %.1f ms; the same "
                "check fetching every header %.0f ms (medians of 5)\n",
                first, median(unchanged), median(everyHeader));
    const QString notice = notify.text_Display->toPlainText();
    std::printf("notice: %lld messages listed\n", qint64(notice.count(u"Subject:  "_s)));
    return 0;
}

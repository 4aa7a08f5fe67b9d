// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Mail servers for the POP3 client's tests, all on loopback: a real Dovecot started from a private folder, and a
// scripted server in this process for the misbehaviour no real server shows on demand.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <grp.h>
#include <memory>
#include <pwd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#include <unistd.h>

using namespace Qt::StringLiterals;

// A message as a mail server delivers it, with a Date and a one-line body.
inline QByteArray mailMessage(const QByteArray &from, const QByteArray &subject)
{
    return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\n\r\nHello\r\n";
}

// Dovecot serving POP3 on free loopback ports: plain (offering STLS when tls is on) and, with tls, POP3S with the
// self-signed certificate for localhost and 127.0.0.1 in cert.pem and key.pem beside this header. With imap it serves
// IMAP too: plain (with STARTTLS when tls is on) and, with tls, IMAPS.
class DovecotServer {
public:
    static inline const QString Binary = u"/usr/sbin/dovecot"_s;
    // The folder of this header, which holds the configuration template and the certificate. A compiler cache with a
    // base folder names it relative to the build folder, which is two above each test's executable.
    static inline const QDir Here = [] {
        const QString file = QString::fromUtf8(__FILE__);
        const QString build = QFileInfo(u"/proc/self/exe"_s).canonicalPath() + u"/../.."_s;
        return QFileInfo(QDir::isAbsolutePath(file) ? file : QDir::cleanPath(build + u'/' + file)).dir();
    }();
    static bool installed() { return QFile::exists(Binary); }

    explicit DovecotServer(bool tls, bool imap = false) : m_tls(tls), m_imap(imap)
    {
        // Dovecot reads no mail as uid 0 and runs no login process as root: as root, both are "nobody"'s.
        const passwd *owner = geteuid() == 0 ? getpwnam("nobody") : getpwuid(geteuid());
        m_uid = owner ? owner->pw_uid : geteuid();
        m_gid = owner ? owner->pw_gid : getegid();
        m_loginUser = owner ? QString::fromLocal8Bit(owner->pw_name) : QString();
        if (geteuid() == 0) // and "nobody" must reach the maildirs in here
            QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadGroup | QFile::ExeGroup |
                                                    QFile::ReadOther | QFile::ExeOther);
    }
    ~DovecotServer() { stop(); }

    void addUser(const QString &name, const QString &password)
    {
        QFile passwd(m_dir.filePath(u"passwd"_s));
        if (passwd.open(QIODevice::Append))
            passwd.write((name + u":{PLAIN}"_s + password + u"::::::\n"_s).toUtf8());
        for (const QString &sub : {u""_s, u"/Maildir"_s, u"/Maildir/cur"_s, u"/Maildir/new"_s, u"/Maildir/tmp"_s}) {
            QDir().mkpath(home(name) + sub);
            own(home(name) + sub);
        }
    }

    // Delivers as a mail transfer agent would, through tmp into new, into INBOX or a folder as the server names it
    // ("Lists", "Entw&APw-rfe"), which is made where there is none. Returns the file's name, whose leading number
    // has Dovecot number the messages in the order they came.
    QString deliver(const QString &user, const QByteArray &message, const QString &folder = {})
    {
        const QString maildir = folder.isEmpty() ? home(user) + u"/Maildir"_s : makeFolder(user, folder);
        const QString name = QString::number(1'700'000'000 + ++m_delivered) + u".M1P"_s +
                             QString::number(QCoreApplication::applicationPid()) + u".tarnibe"_s;
        QFile file(maildir + u"/tmp/"_s + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size())
            return {};
        file.close();
        own(file.fileName());
        return file.rename(maildir + u"/new/"_s + name) ? name : QString();
    }

    // A folder in the Maildir++ layout Dovecot reads: ".Name" beside INBOX's cur, new and tmp, "." between levels.
    QString makeFolder(const QString &user, const QString &folder)
    {
        const QString path = home(user) + u"/Maildir/."_s + folder;
        for (const QString &sub : {u""_s, u"/cur"_s, u"/new"_s, u"/tmp"_s}) {
            QDir().mkpath(path + sub);
            own(path + sub);
        }
        return path;
    }

    // Deletes a message behind Dovecot's back; once seen it is in cur, with flags after its name.
    bool remove(const QString &user, const QString &name)
    {
        QDirIterator found(home(user) + u"/Maildir"_s, {name, name + u":*"_s}, QDir::Files,
                           QDirIterator::Subdirectories);
        return found.hasNext() && QFile::remove(found.next());
    }

    // Started again after stop(), it serves on the same ports.
    bool start(QString *why)
    {
        if (plainPort == 0) {
            plainPort = freePort();
            tlsPort = m_tls ? freePort() : 0;
            imapPort = m_imap ? freePort() : 0;
            imapsPort = m_imap && m_tls ? freePort() : 0;
        }
        // The configuration's placeholders are filled in here.
        QFile in(Here.filePath(configTemplate()));
        if (!in.open(QIODevice::ReadOnly)) {
            *why = u"cannot read "_s + in.fileName();
            return false;
        }
        QString conf = QString::fromUtf8(in.readAll());
        conf.remove(
            QRegularExpression(m_tls ? u"^@clear .*\n"_s : u"^@tls .*\n"_s, QRegularExpression::MultilineOption));
        if (!m_imap)
            conf.remove(QRegularExpression(u"^@imap .*\n"_s, QRegularExpression::MultilineOption));
        if (!m_imap || !m_tls)
            conf.remove(QRegularExpression(u"^@imaps .*\n"_s, QRegularExpression::MultilineOption));
        conf.remove(QRegularExpression(u"^@(tls|clear|imaps|imap) "_s, QRegularExpression::MultilineOption));
        const passwd *me = getpwuid(geteuid());
        const group *myGroup = getgrgid(getegid());
        const QList<std::pair<QString, QString>> values = {
            {u"@DIR"_s, m_dir.path()},
            {u"@CERTS"_s, Here.path()},
            {u"@ME"_s, me ? QString::fromLocal8Bit(me->pw_name) : QString()},
            {u"@GROUP"_s, myGroup ? QString::fromLocal8Bit(myGroup->gr_name) : QString()},
            {u"@LOGIN"_s, m_loginUser},
            {u"@UID"_s, QString::number(m_uid)},
            {u"@GID"_s, QString::number(m_gid)},
            {u"@PLAIN"_s, QString::number(plainPort)},
            {u"@TLS"_s, QString::number(tlsPort)},
            {u"@PROTOCOLS"_s, m_imap ? u"pop3 imap"_s : u"pop3"_s},
            {u"@IMAPPORT"_s, QString::number(imapPort)},
            {u"@IMAPSPORT"_s, QString::number(imapsPort)}};
        for (const auto &[key, value] : values)
            conf.replace(key, value);
        QFile file(m_dir.filePath(u"dovecot.conf"_s));
        QFile passwd(m_dir.filePath(u"passwd"_s));
        if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0 || !passwd.open(QIODevice::Append)) {
            *why = u"cannot write in "_s + m_dir.path();
            return false;
        }
        file.close();

        m_process.setProcessChannelMode(QProcess::MergedChannels);
#ifdef Q_OS_LINUX
        // Should the test die before its destructors run, Dovecot goes with it.
        // A process group of its own, so that stop() ends the mail and login processes too, which outlive the master.
        m_process.setChildProcessModifier([] {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::setpgid(0, 0);
        });
#endif
        m_process.start(Binary, {u"-F"_s, u"-c"_s, file.fileName()});
        // Ready once the plain port greets: a listening socket may have no login process behind it yet.
        const bool greeted = QTest::qWaitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, plainPort);
                return m_process.state() == QProcess::NotRunning ||
                       (probe.waitForConnected(500) && probe.waitForReadyRead(2'000) &&
                        probe.readLine().startsWith("+OK"));
            },
            10'000);
        if (greeted && m_process.state() != QProcess::NotRunning)
            return true;
        *why = u"Dovecot did not greet: "_s + QString::fromLocal8Bit(m_process.readAll()) + log();
        stop();
        return false;
    }

    // SIGTERM to every process of the server's, as a shutdown of the system would: a client's session ends with a
    // goodbye, and nothing stays behind on the ports.
    void stop()
    {
        const pid_t group = pid_t(m_process.processId());
        if (group > 0)
            ::kill(-group, SIGTERM);
        if (!m_process.waitForFinished(10'000)) {
            m_process.kill();
            m_process.waitForFinished(5'000);
        }
        if (group > 0)
            ::kill(-group, SIGKILL);
    }

    QString log() const
    {
        QFile file(m_dir.filePath(u"dovecot.log"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // A successful login's line in the log, as a pattern: "Login: user=<ann>" for 2.3, "Logged in: user=<ann>" for 2.4.
    static QString loginPattern(const QString &user)
    {
        return u"(Login|Logged in): user=<"_s + QRegularExpression::escape(user) + u'>';
    }
    qsizetype logins(const QString &user) const
    {
        return log().count(QRegularExpression(loginPattern(user)));
    }

    quint16 plainPort = 0;
    quint16 tlsPort = 0;
    quint16 imapPort = 0;
    quint16 imapsPort = 0;
    QString maildir(const QString &user) const
    {
        return home(user) + u"/Maildir"_s;
    }

private:
    // Dovecot 2.4 changed its configuration language; each version gets the template written in its own.
    static QString configTemplate()
    {
        static const QString name = [] {
            QProcess version;
            version.start(Binary, {u"--version"_s});
            version.waitForFinished(10'000);
            const QRegularExpressionMatch number =
                QRegularExpression(u"^(\\d+)\\.(\\d+)"_s).match(QString::fromLatin1(version.readAllStandardOutput()));
            const bool before24 = number.hasMatch() &&
                                  std::pair(number.captured(1).toInt(), number.captured(2).toInt()) < std::pair(2, 4);
            return before24 ? u"dovecot-2.3.conf.in"_s : u"dovecot-2.4.conf.in"_s;
        }();
        return name;
    }

    QString home(const QString &user) const
    {
        return m_dir.filePath(u"home/"_s + user);
    }
    void own(const QString &file) const
    {
        if (geteuid() == 0 && ::chown(QFile::encodeName(file).constData(), m_uid, m_gid) != 0)
            qWarning("cannot hand %s to the mail owner", qPrintable(file));
    }
    static quint16 freePort()
    {
        // A fresh listener's port is free, and the system hands ports out in turn, so not again soon.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_tls;
    bool m_imap;
    uid_t m_uid;
    gid_t m_gid;
    QString m_loginUser;
    int m_delivered = 0;
};

// Ann's mailbox (user "ann", password "secret") at a Dovecot without TLS on loopback, for the real suite on a
// desktop of its own.
struct AnnsMailbox {
    AnnsMailbox()
    {
        dovecot.addUser(u"ann"_s, u"secret"_s);
        started = dovecot.start(&why);
    }
    // Empty once the server runs, else why it does not.
    QString failure() const { return started ? QString() : why; }

    DovecotServer dovecot{false};
    QString why;
    bool started = false;
};

// A scripted POP3 server in this process. It answers each command by its verb (one not mapped is refused) and
// records what it hears, "tls:" before each command that came encrypted. After a positive STLS answer it does the
// TLS handshake with the certificate for localhost beside this header.
class FakePop3Server : public QTcpServer {
public:
    FakePop3Server() { listen(QHostAddress::LocalHost, 0); }
    QString address() const { return u"127.0.0.1:"_s + QString::number(serverPort()); }

    QHash<QByteArray, QByteArray> replies;
    QByteArrayList commands;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine().trimmed();
                commands << (socket->isEncrypted() ? "tls:" + line : line);
                const QByteArray verb = line.split(' ').value(0).toUpper();
                socket->write(replies.value(verb, "-ERR unknown command\r\n"));
                if (verb == "STLS" && replies.value(verb).startsWith("+OK")) {
                    socket->setLocalCertificate(DovecotServer::Here.filePath(u"cert.pem"_s));
                    socket->setPrivateKey(DovecotServer::Here.filePath(u"key.pem"_s));
                    socket->startServerEncryption();
                    return;
                }
            }
        });
        socket->write("+OK fake POP3 ready\r\n");
    }
};

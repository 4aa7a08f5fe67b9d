// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/HostPicker.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace {

const QString AvahiService = QStringLiteral("org.freedesktop.Avahi");
const QString AvahiServer = QStringLiteral("org.freedesktop.Avahi.Server");
const QString AvahiBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
constexpr int AnyInterface = -1;
constexpr int AnyProtocol = -1;

// Services that desktops, file servers and ssh hosts announce; a computer announcing any of them is listed.
const QStringList BrowsedTypes = {QStringLiteral("_workstation._tcp"), QStringLiteral("_device-info._tcp"),
                                  QStringLiteral("_ssh._tcp"), QStringLiteral("_sftp-ssh._tcp"),
                                  QStringLiteral("_smb._tcp")};

QDBusMessage avahiCall(const QString &path, const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(AvahiService, path, interface, method);
}

} // namespace

HostPicker::HostPicker(const QString &hostsFile, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HostPicker"));
    setWindowTitle(QStringLiteral("Select the computer you want to send a note to: "));
    list_Hosts = new QListWidget(this);
    list_Hosts->setObjectName(QStringLiteral("list_Hosts"));
    list_Hosts->setSortingEnabled(true);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_Hosts, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(this, &QDialog::accepted, this, [this] {
        if (!chosen().isEmpty())
            Q_EMIT hostChosen(chosen());
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(windowTitle(), this));
    layout->addWidget(list_Hosts);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(320, 360);

    QFile hosts(hostsFile);
    if (hosts.open(QIODevice::ReadOnly)) {
        for (const QString &name : hostsFileNames(hosts.readAll()))
            addHost(name);
    }
    startAvahi();
}

HostPicker::~HostPicker()
{
    stopAvahi();
}

QStringList HostPicker::hostsFileNames(const QByteArray &contents)
{
    static const QSet<QString> everySystemHas = {
        QStringLiteral("localhost"),    QStringLiteral("localhost.localdomain"),  QStringLiteral("ip6-localhost"),
        QStringLiteral("ip6-loopback"), QStringLiteral("ip6-allnodes"),           QStringLiteral("ip6-allrouters"),
        QStringLiteral("ip6-localnet"), QStringLiteral("ip6-mcastprefix"),        QStringLiteral("broadcasthost"),
        QStringLiteral("localhost6"),   QStringLiteral("localhost6.localdomain6")};
    QStringList names;
    for (const QByteArray &rawLine : contents.split('\n')) {
        QByteArray line = rawLine;
        const qsizetype comment = line.indexOf('#');
        if (comment >= 0)
            line.truncate(comment);
        const QList<QByteArray> fields = line.simplified().split(' ');
        for (qsizetype i = 1; i < fields.size(); ++i) {
            const QString name = QString::fromUtf8(fields[i]);
            if (!name.isEmpty() && !everySystemHas.contains(name.toLower()) && !names.contains(name))
                names.append(name);
        }
    }
    return names;
}

void HostPicker::addHost(const QString &name)
{
    if (name.isEmpty() || !list_Hosts->findItems(name, Qt::MatchFixedString).isEmpty())
        return;
    list_Hosts->addItem(name);
}

QString HostPicker::chosen() const
{
    const QListWidgetItem *item = list_Hosts->currentItem();
    return item ? item->text() : QString();
}

void HostPicker::startAvahi()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(AvahiService)) {
        m_status->setText(QStringLiteral("Computers on the local network are listed when Avahi runs. You can also "
                                         "type the name."));
        return;
    }
    m_status->setText(QStringLiteral("Looking for computers on the local network..."));
    for (const QString &type : BrowsedTypes)
        browse(type);
}

void HostPicker::browse(const QString &type)
{
    // Prepared, subscribed, then started: no host announced in between is missed.
    QDBusMessage prepare = avahiCall(QStringLiteral("/"), AvahiServer, QStringLiteral("ServiceBrowserPrepare"));
    prepare << AnyInterface << AnyProtocol << type << QString() << 0u;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(prepare), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *call;
        if (reply.isError())
            return;
        const QString path = reply.value().path();
        QDBusConnection bus = QDBusConnection::systemBus();
        bus.connect(AvahiService, path, AvahiBrowser, QStringLiteral("ItemNew"), this,
                    SLOT(itemNew(int, int, QString, QString, QString, uint)));
        m_browsers.append(path);
        bus.asyncCall(avahiCall(path, AvahiBrowser, QStringLiteral("Start")));
    });
}

void HostPicker::itemNew(int interface, int protocol, const QString &name, const QString &type, const QString &domain,
                         uint flags)
{
    Q_UNUSED(flags);
    QDBusMessage resolve = avahiCall(QStringLiteral("/"), AvahiServer, QStringLiteral("ResolveService"));
    resolve << interface << protocol << name << type << domain << AnyProtocol << 0u;
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(resolve), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        // The reply's sixth value is the host name, such as "pc1.local".
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() > 5)
            addHost(reply.arguments().at(5).toString());
    });
}

void HostPicker::stopAvahi()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    for (const QString &path : std::as_const(m_browsers)) {
        bus.disconnect(AvahiService, path, AvahiBrowser, QStringLiteral("ItemNew"), this,
                       SLOT(itemNew(int, int, QString, QString, QString, uint)));
        bus.asyncCall(avahiCall(path, AvahiBrowser, QStringLiteral("Free")));
    }
    m_browsers.clear();
}

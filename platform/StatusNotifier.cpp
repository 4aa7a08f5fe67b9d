// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StatusNotifier.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QStyleHints>
#include <QTimer>
#include <QtEndian>

using namespace Qt::StringLiterals;

// The wire shapes of the two protocols: an icon picture (iiay), a tooltip (sa(iiay)ss), a menu entry with its
// properties (ia{sv}) and the menu's tree (ia{sv}av).
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb; // ARGB32, big-endian
};
using SniPixmaps = QList<SniPixmap>;
struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString description;
};
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItems = QList<DBusMenuItem>;
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};
Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniToolTip)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuLayout)

static QDBusArgument &operator<<(QDBusArgument &arg, const SniPixmap &pixmap)
{
    arg.beginStructure();
    arg << pixmap.width << pixmap.height << pixmap.argb;
    arg.endStructure();
    return arg;
}
static const QDBusArgument &operator>>(const QDBusArgument &arg, SniPixmap &pixmap)
{
    arg.beginStructure();
    arg >> pixmap.width >> pixmap.height >> pixmap.argb;
    arg.endStructure();
    return arg;
}
static QDBusArgument &operator<<(QDBusArgument &arg, const SniToolTip &tip)
{
    arg.beginStructure();
    arg << tip.iconName << tip.pixmaps << tip.title << tip.description;
    arg.endStructure();
    return arg;
}
static const QDBusArgument &operator>>(const QDBusArgument &arg, SniToolTip &tip)
{
    arg.beginStructure();
    arg >> tip.iconName >> tip.pixmaps >> tip.title >> tip.description;
    arg.endStructure();
    return arg;
}
static QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItem &item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}
static const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItem &item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}
static QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayout &layout)
{
    arg.beginStructure();
    arg << layout.id << layout.properties;
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout &child : layout.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}
static const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayout &layout)
{
    arg.beginStructure();
    arg >> layout.id >> layout.properties;
    layout.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        layout.children.append(qdbus_cast<DBusMenuLayout>(child.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

namespace platform {

namespace {

const QString WatcherService = u"org.kde.StatusNotifierWatcher"_s;
const QString ItemInterface = u"org.kde.StatusNotifierItem"_s;
const QString MenuInterface = u"com.canonical.dbusmenu"_s;
const QString PropertiesInterface = u"org.freedesktop.DBus.Properties"_s;
const QString ItemPath = u"/StatusNotifierItem"_s;
const QString MenuPath = u"/MenuBar"_s;

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<SniPixmaps>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItems>();
        qDBusRegisterMetaType<DBusMenuLayout>();
        return true;
    }();
    Q_UNUSED(done);
}

SniPixmaps pixmapsOf(const QIcon &icon)
{
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        sizes = {QSize(16, 16), QSize(22, 22), QSize(32, 32), QSize(48, 48)};
    SniPixmaps pixmaps;
    for (const QSize &size : sizes) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        SniPixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto *out = reinterpret_cast<quint32 *>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian(line[x]);
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

// Qt marks a mnemonic with "&", dbusmenu with "_".
QString menuLabel(const QString &text)
{
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'&' && i + 1 < text.size()) {
            ++i;
            label += text.at(i) == u'&' ? u"&"_s : u"_"_s + text.at(i);
        } else if (c == u'_') {
            label += u"__"_s;
        } else {
            label += c;
        }
    }
    return label;
}

QDBusMessage propertiesReply(const QDBusMessage &message, const QVariantMap &properties)
{
    const QVariantList args = message.arguments();
    if (message.member() == u"GetAll")
        return message.createReply(QVariant::fromValue(properties));
    if (message.member() == u"Get" && args.size() == 2) {
        const QString name = args.at(1).toString();
        if (properties.contains(name))
            return message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name))));
        return message.createErrorReply(QDBusError::UnknownProperty, u"No property "_s + name);
    }
    return message.createErrorReply(QDBusError::PropertyReadOnly, u"The properties are read-only"_s);
}

QList<int> intList(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QList<int>>(value);
    return value.value<QList<int>>();
}

} // namespace

bool statusNotifierWatcherRunning()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(WatcherService).value();
}

// The item's object: the properties a host reads and the clicks it passes on.
class StatusNotifierObject final : public QDBusVirtualObject {
public:
    StatusNotifierObject(const QString &id, const QString &title,
                         std::function<void(StatusNotifierItem::Request, QPoint)> onRequest)
        : m_id(id), m_title(title), m_onRequest(std::move(onRequest))
    {
    }

    void setIcon(const QIcon &icon) { m_icon = icon; }
    void setToolTip(const QString &tip) { m_tip = tip; }

    QString introspect(const QString &) const override
    {
        return uR"xml(<interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
</interface>
)xml"_s;
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == PropertiesInterface) {
            connection.send(propertiesReply(message, properties()));
            return true;
        }
        if (!message.interface().isEmpty() && message.interface() != ItemInterface)
            return false;
        const QVariantList args = message.arguments();
        const QPoint at = args.size() >= 2 ? QPoint(args.at(0).toInt(), args.at(1).toInt()) : QPoint();
        const QString member = message.member();
        if (member == u"Activate" || member == u"ContextMenu") {
            // Answered first: what the click does may open a box with a loop of its own.
            connection.send(message.createReply());
            if (member == u"Activate" && secondOfADoubleClick())
                return true;
            const auto request = member == u"Activate" ? StatusNotifierItem::Request::Activate
                                                       : StatusNotifierItem::Request::ContextMenu;
            QTimer::singleShot(0, QCoreApplication::instance(), [onRequest = m_onRequest, request, at] {
                if (onRequest)
                    onRequest(request, at);
            });
            return true;
        }
        if (member == u"SecondaryActivate" || member == u"Scroll" || member == u"ProvideXdgActivationToken") {
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

private:
    // Such trays pass a double click on as two activations: the second, within the desktop's double-click
    // interval, is the same gesture and no second request. Timed as the calls arrive, not as they are handled, which
    // the first one's work may hold up.
    bool secondOfADoubleClick()
    {
        const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        if (m_lastActivation.isValid() && m_lastActivation.elapsed() < interval) {
            m_lastActivation.invalidate();
            return true;
        }
        m_lastActivation.start();
        return false;
    }

    QVariantMap properties() const
    {
        const qsizetype lineEnd = m_tip.indexOf(u'\n');
        const SniToolTip tip{
            QString(), {}, lineEnd < 0 ? m_tip : m_tip.left(lineEnd), lineEnd < 0 ? QString() : m_tip.mid(lineEnd + 1)};
        return {{u"Category"_s, u"ApplicationStatus"_s},
                {u"Id"_s, m_id},
                {u"Title"_s, m_title},
                {u"Status"_s, u"Active"_s},
                {u"WindowId"_s, 0},
                {u"IconName"_s, QString()},
                {u"IconPixmap"_s, QVariant::fromValue(pixmapsOf(m_icon))},
                {u"OverlayIconName"_s, QString()},
                {u"OverlayIconPixmap"_s, QVariant::fromValue(SniPixmaps())},
                {u"AttentionIconName"_s, QString()},
                {u"AttentionIconPixmap"_s, QVariant::fromValue(SniPixmaps())},
                {u"AttentionMovieName"_s, QString()},
                {u"ToolTip"_s, QVariant::fromValue(tip)},
                {u"ItemIsMenu"_s, false},
                {u"Menu"_s, QVariant::fromValue(QDBusObjectPath(MenuPath))},
                {u"IconThemePath"_s, QString()}};
    }

    QString m_id;
    QString m_title;
    QIcon m_icon;
    QString m_tip;
    std::function<void(StatusNotifierItem::Request, QPoint)> m_onRequest;
    QElapsedTimer m_lastActivation;
};

// A QMenu as dbusmenu describes it: entry 0 is the menu itself, its actions follow with ids that stay theirs.
class DBusMenuObject final : public QDBusVirtualObject {
public:
    DBusMenuObject(QMenu *menu, const QString &connectionName) : m_menu(menu), m_connectionName(connectionName)
    {
        if (m_menu)
            m_menu->installEventFilter(this);
    }

    QString introspect(const QString &) const override
    {
        return uR"xml(<interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
    <arg name="parentId" type="i" direction="in"/><arg name="recursionDepth" type="i" direction="in"/>
    <arg name="propertyNames" type="as" direction="in"/>
    <arg name="revision" type="u" direction="out"/><arg name="layout" type="(ia{sv}av)" direction="out"/>
  </method>
  <method name="GetGroupProperties">
    <arg name="ids" type="ai" direction="in"/><arg name="propertyNames" type="as" direction="in"/>
    <arg name="properties" type="a(ia{sv})" direction="out"/>
  </method>
  <method name="GetProperty">
    <arg name="id" type="i" direction="in"/><arg name="name" type="s" direction="in"/>
    <arg name="value" type="v" direction="out"/>
  </method>
  <method name="Event">
    <arg name="id" type="i" direction="in"/><arg name="eventId" type="s" direction="in"/>
    <arg name="data" type="v" direction="in"/><arg name="timestamp" type="u" direction="in"/>
  </method>
  <method name="EventGroup">
    <arg name="events" type="a(isvu)" direction="in"/><arg name="idErrors" type="ai" direction="out"/>
  </method>
  <method name="AboutToShow">
    <arg name="id" type="i" direction="in"/><arg name="needUpdate" type="b" direction="out"/>
  </method>
  <method name="AboutToShowGroup">
    <arg name="ids" type="ai" direction="in"/>
    <arg name="updatesNeeded" type="ai" direction="out"/><arg name="idErrors" type="ai" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated">
    <arg name="updatedProps" type="a(ia{sv})"/><arg name="removedProps" type="a(ias)"/>
  </signal>
  <signal name="LayoutUpdated"><arg name="revision" type="u"/><arg name="parent" type="i"/></signal>
  <signal name="ItemActivationRequested"><arg name="id" type="i"/><arg name="timestamp" type="u"/></signal>
</interface>
)xml"_s;
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == PropertiesInterface) {
            const QVariantMap properties{{u"Version"_s, 3u},
                                         {u"TextDirection"_s, u"ltr"_s},
                                         {u"Status"_s, u"normal"_s},
                                         {u"IconThemePath"_s, QStringList()}};
            connection.send(propertiesReply(message, properties));
            return true;
        }
        if (!message.interface().isEmpty() && message.interface() != MenuInterface)
            return false;
        const QVariantList args = message.arguments();
        const QString member = message.member();
        if (member == u"GetLayout" && args.size() == 3) {
            DBusMenuLayout layout = layoutOf(args.at(0).toInt(), args.at(2).toStringList());
            if (args.at(1).toInt() == 0)
                layout.children.clear();
            connection.send(message.createReply({m_revision, QVariant::fromValue(layout)}));
        } else if (member == u"GetGroupProperties" && args.size() == 2) {
            DBusMenuItems items;
            const QStringList names = args.at(1).toStringList();
            for (int id : intList(args.at(0))) {
                if (id == 0 || actionOf(id))
                    items.append({id, propertiesOf(id, names)});
            }
            connection.send(message.createReply(QVariant::fromValue(items)));
        } else if (member == u"GetProperty" && args.size() == 2) {
            const QVariantMap properties = propertiesOf(args.at(0).toInt(), {args.at(1).toString()});
            if (properties.isEmpty())
                connection.send(message.createErrorReply(QDBusError::InvalidArgs, u"No such entry or property"_s));
            else
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(properties.first()))));
        } else if (member == u"Event" && args.size() == 4) {
            connection.send(message.createReply());
            menuEvent(args.at(0).toInt(), args.at(1).toString());
        } else if (member == u"EventGroup" && args.size() == 1) {
            QList<int> unknown;
            const auto events = args.at(0).value<QDBusArgument>();
            events.beginArray();
            while (!events.atEnd()) {
                int id = 0;
                QString eventId;
                QDBusVariant data;
                uint timestamp = 0;
                events.beginStructure();
                events >> id >> eventId >> data >> timestamp;
                events.endStructure();
                if (id != 0 && !actionOf(id))
                    unknown.append(id);
                else
                    menuEvent(id, eventId);
            }
            events.endArray();
            connection.send(message.createReply(QVariant::fromValue(unknown)));
        } else if (member == u"AboutToShow" && args.size() == 1) {
            connection.send(message.createReply(false));
        } else if (member == u"AboutToShowGroup" && args.size() == 1) {
            connection.send(
                message.createReply({QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())}));
        } else {
            return false;
        }
        return true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ActionAdded:
        case QEvent::ActionChanged:
        case QEvent::ActionRemoved:
        case QEvent::EnabledChange:
            layoutChanged();
            break;
        default:
            break;
        }
        return QDBusVirtualObject::eventFilter(watched, event);
    }

private:
    int idOf(QAction *action)
    {
        auto it = m_ids.find(action);
        if (it == m_ids.end())
            it = m_ids.insert(action, ++m_lastId);
        return it.value();
    }
    QAction *actionOf(int id) const
    {
        if (!m_menu)
            return nullptr;
        const QList<QAction *> actions = m_menu->actions();
        for (QAction *action : actions) {
            if (m_ids.value(action) == id)
                return action;
        }
        return nullptr;
    }

    QVariantMap propertiesOf(int id, const QStringList &names)
    {
        QVariantMap properties;
        if (id == 0) {
            properties.insert(u"children-display"_s, u"submenu"_s);
        } else if (QAction *action = actionOf(id)) {
            if (action->isSeparator()) {
                properties.insert(u"type"_s, u"separator"_s);
            } else {
                properties.insert(u"label"_s, menuLabel(action->text()));
                properties.insert(u"enabled"_s, action->isEnabled() && m_menu->isEnabled());
                if (action->isCheckable()) {
                    properties.insert(u"toggle-type"_s, u"checkmark"_s);
                    properties.insert(u"toggle-state"_s, action->isChecked() ? 1 : 0);
                }
            }
            if (!action->isVisible())
                properties.insert(u"visible"_s, false);
        }
        if (!names.isEmpty()) {
            for (auto it = properties.begin(); it != properties.end();)
                it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
        }
        return properties;
    }

    DBusMenuLayout layoutOf(int id, const QStringList &names)
    {
        DBusMenuLayout layout{id, propertiesOf(id, names), {}};
        if (id == 0 && m_menu) {
            const QList<QAction *> actions = m_menu->actions();
            for (QAction *action : actions) {
                const int childId = idOf(action);
                layout.children.append({childId, propertiesOf(childId, names), {}});
            }
        }
        return layout;
    }

    void menuEvent(int id, const QString &eventId)
    {
        if (eventId != u"clicked")
            return;
        // After the reply has gone: the action may open a box with a loop of its own.
        QTimer::singleShot(0, QCoreApplication::instance(), [menu = m_menu, action = QPointer(actionOf(id))] {
            if (menu && action && menu->isEnabled() && action->isEnabled() && action->isVisible())
                action->trigger();
        });
    }

    void layoutChanged()
    {
        if (m_updateQueued)
            return;
        m_updateQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_updateQueued = false;
            ++m_revision;
            QDBusMessage signal = QDBusMessage::createSignal(MenuPath, MenuInterface, u"LayoutUpdated"_s);
            signal << m_revision << 0;
            QDBusConnection(m_connectionName).send(signal);
        });
    }

    QPointer<QMenu> m_menu;
    QString m_connectionName;
    QHash<QAction *, int> m_ids;
    int m_lastId = 0;
    uint m_revision = 1;
    bool m_updateQueued = false;
};

StatusNotifierItem::StatusNotifierItem(int serial, const QString &id, const QString &title, QMenu *menu,
                                       std::function<void(Request, QPoint)> onRequest)
{
    registerTypes();
    m_connectionName = u"tarnibe-tray-"_s + QString::number(serial);
    m_service = u"org.kde.StatusNotifierItem-%1-%2"_s.arg(QString::number(QCoreApplication::applicationPid()),
                                                          QString::number(serial));
    m_item = std::make_unique<StatusNotifierObject>(id, title, std::move(onRequest));
    m_menu = std::make_unique<DBusMenuObject>(menu, m_connectionName);
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    m_exported = connection.isConnected() &&
                 connection.registerVirtualObject(ItemPath, m_item.get(), QDBusConnection::SingleNode) &&
                 connection.registerVirtualObject(MenuPath, m_menu.get(), QDBusConnection::SingleNode) &&
                 connection.registerService(m_service);
}

StatusNotifierItem::~StatusNotifierItem()
{
    QDBusConnection connection(m_connectionName);
    connection.unregisterObject(ItemPath);
    connection.unregisterObject(MenuPath);
    // Closing the connection drops its name: the watcher takes the item away.
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void StatusNotifierItem::setIcon(const QIcon &icon)
{
    m_item->setIcon(icon);
    QDBusConnection(m_connectionName).send(QDBusMessage::createSignal(ItemPath, ItemInterface, u"NewIcon"_s));
}

void StatusNotifierItem::setToolTip(const QString &tip)
{
    m_item->setToolTip(tip);
    QDBusConnection(m_connectionName).send(QDBusMessage::createSignal(ItemPath, ItemInterface, u"NewToolTip"_s));
}

bool StatusNotifierItem::announce()
{
    if (!m_exported)
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, u"/StatusNotifierWatcher"_s, WatcherService,
                                                       u"RegisterStatusNotifierItem"_s);
    call << m_service;
    // Not waited for: a busy panel must not hold up the suite.
    QDBusConnection(m_connectionName).asyncCall(call);
    return true;
}

} // namespace platform

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WindowFlags.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <memory>
#include <xcb/xcb.h>

namespace platform {

namespace {
constexpr char OffTaskbarProperty[] = "_tarnibe_offTaskbar";

void setFlagKeepingVisibility(QWidget *window, Qt::WindowType flag, bool on)
{
    if (!window || window->windowFlags().testFlag(flag) == on)
        return;
    // Changing a window flag hides the window; show it again where it was.
    const bool visible = window->isVisible();
    window->setWindowFlag(flag, on);
    if (visible) {
        window->show();
        // Shown as a new X window, made after the show event, with Qt's states alone.
        if (window->property(OffTaskbarProperty).toBool())
            keepOffTaskbar(window);
    }
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Qt hands a menu's window type to X only where the menu's native window already exists when the type is set; a
// QMenu sets it at construction, before it has one, so its window goes out as a normal one, which window managers
// may frame, stack or put on the task bar. Setting the type again once the window exists (at its show, before it
// is mapped) gets it through.
class MenuTyper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *menu = qobject_cast<QMenu *>(watched))
                for (const auto type : {Qt::WA_X11NetWmWindowTypePopupMenu, Qt::WA_X11NetWmWindowTypeDropDownMenu})
                    if (menu->testAttribute(type)) {
                        menu->setAttribute(type, false);
                        menu->setAttribute(type, true);
                    }
        return false;
    }
};
} // namespace

void setAlwaysOnTop(QWidget *window, bool onTop)
{
    setFlagKeepingVisibility(window, Qt::WindowStaysOnTopHint, onTop);
}

void removeCloseButton(QWidget *window)
{
    if (!window)
        return;
    // Customised hints keep the title and the other buttons but leave out the close button.
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint;
    flags &= ~Qt::WindowCloseButtonHint;
    if (flags == window->windowFlags())
        return;
    const bool visible = window->isVisible();
    window->setWindowFlags(flags);
    if (visible)
        window->show();
}

namespace {
// The X server's connection where the program runs on X11 (the offscreen platform answers as X11 too, unconnected).
xcb_connection_t *x11Connection()
{
    if (QGuiApplication::platformName() != u"xcb")
        return nullptr;
    const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}
} // namespace

void keepOffTaskbar(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window || !window->windowHandle())
        return;
    // Kept in mind for setFlagKeepingVisibility, whose changes give the window a new X window.
    window->setProperty(OffTaskbarProperty, true);
    // The X window as it is now: Qt makes a new one for some flag changes, at the next show.
    const auto id = xcb_window_t(window->windowHandle()->winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skips[] = {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (window->windowHandle()->isVisible()) {
        // Mapped: the window manager owns the state and is asked to add to it.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = state;
        message.data.data32[0] = 1; // add
        message.data.data32[1] = skips[0];
        message.data.data32[2] = skips[1];
        message.data.data32[3] = 1; // from an application
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
        xcb_flush(connection);
        return;
    }
    // Not mapped yet: the initial state is the window's own property. Added to what it holds: Qt merges its own
    // states (on top) into it when it maps the window.
    QList<xcb_atom_t> atoms;
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *held = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        atoms = QList<xcb_atom_t>(held, held + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const xcb_atom_t skip : skips)
        if (skip != xcb_atom_t(XCB_ATOM_NONE) && !atoms.contains(skip))
            atoms.append(skip);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                        atoms.constData());
    xcb_flush(connection);
}

void clearMinimisedHint(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window || !window->windowHandle() || window->isVisible())
        return;
    const auto id = xcb_window_t(window->windowHandle()->winId());
    // WM_HINTS: flags, input, initial state, ... as 32-bit words; StateHint (2) says the initial state is set.
    constexpr uint32_t StateHint = 1u << 1, NormalState = 1, IconicState = 3;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12)
        return;
    const auto *held = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    QList<uint32_t> hints(held, held + xcb_get_property_value_length(reply.get()) / 4);
    if (!(hints[0] & StateHint) || hints[2] != IconicState)
        return;
    hints[2] = NormalState;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                        uint32_t(hints.size()), hints.constData());
    xcb_flush(connection);
}

namespace {

// A window's 32-bit property as a list; empty when it has none.
QList<uint32_t> property32(xcb_connection_t *connection, xcb_window_t of, xcb_atom_t name, xcb_atom_t type,
                           uint32_t words)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, of, name, type, 0, words);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    QList<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto *held = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
        values = QList<uint32_t>(held, held + xcb_get_property_value_length(reply.get()) / 4);
    }
    return values;
}

// The frame the window manager says it drew (or will draw) around the window; null while it has said nothing.
QMargins frameExtents(xcb_connection_t *connection, xcb_window_t id)
{
    // left, right, top, bottom
    const QList<uint32_t> sides =
        property32(connection, id, internAtom(connection, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 4);
    return sides.size() == 4 ? QMargins(int(sides[0]), int(sides[2]), int(sides[1]), int(sides[3])) : QMargins();
}

} // namespace

QMargins drawnFrame(const QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window || !window->windowHandle())
        return {};
    return frameExtents(connection, xcb_window_t(window->winId()));
}

std::optional<QRect> placedFrame(const QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return std::nullopt;
    if (!window || !window->windowHandle())
        return QRect();
    const auto id = xcb_window_t(window->winId());
    const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr), &std::free);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return QRect();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> at(
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, id, root, 0, 0), nullptr),
        &std::free);
    const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> size(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free);
    const QMargins frame = frameExtents(connection, id);
    if (!at || !size || frame.isNull())
        return QRect();
    return QRect(at->dst_x, at->dst_y, size->width, size->height).marginsAdded(frame);
}

QMargins expectedFrame(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window || window->isVisible())
        return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t request = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    // Only a window manager that says it answers is asked, so that no window waits for an answer that never comes.
    if (!property32(connection, root, internAtom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024).contains(request))
        return {};
    const auto id = xcb_window_t(window->winId());
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    QElapsedTimer waited;
    waited.start();
    do {
        if (const QMargins frame = frameExtents(connection, id); !frame.isNull())
            return frame;
        QThread::msleep(2);
    } while (waited.elapsed() < 100);
    return {};
}

void whenMinimisedStays(QWidget *window, std::function<void()> then)
{
    // Long enough for the window manager's second word on a window it maps, short enough not to be seen.
    constexpr int SettleMs = 250;
    QTimer::singleShot(SettleMs, window, [window, then = std::move(then)] {
        if (window->isMinimized())
            then();
    });
}

void typeMenusAsPopups()
{
    if (!x11Connection())
        return;
    // Called once, at start: the application owns the filter.
    qApp->installEventFilter(new MenuTyper(qApp));
}

} // namespace platform

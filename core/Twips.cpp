// SPDX-License-Identifier: GPL-3.0-or-later
#include "Twips.h"

#include "platform/WindowFlags.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace {

// A home window shown leaves this much room around it.
constexpr int HomeGap = 8;
// Looks (25 ms apart) after a show during which the window manager, not the user, is the one placing a window.
constexpr int PlacingLooks = 60;

QPointer<QWidget> &home()
{
    static QPointer<QWidget> window;
    return window;
}

// The home window's frame where a window other than the home opens while it shows.
std::optional<QRect> homeFrame(const QWidget *window)
{
    const QWidget *h = home();
    // A home still being mapped may look minimised for a moment (mutter): shown is what counts.
    if (!h || h == window || !h->isVisible() || h->screen() != window->screen())
        return std::nullopt;
    return h->frameGeometry();
}

// The frame's top-left that centres a frame of `frame` on the window's screen, or puts it beside the home window.
QPoint centredSpot(const QWidget *window, QSize frame)
{
    const QRect screen = window->screen()->geometry();
    const QPoint centred{screen.x() + (screen.width() - frame.width()) / 2,
                         screen.y() + (screen.height() - frame.height()) / 2};
    const std::optional<QRect> taken = homeFrame(window);
    if (!taken)
        return centred;
    // Not over the home, nor over what opened beside it before (the calculator stays on top of others).
    QList<QRect> others{*taken};
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other != window && other != home() && other->isVisible() && !other->isMinimized() &&
            other->windowType() != Qt::Popup && other->windowType() != Qt::ToolTip &&
            other->objectName() != u"form_Note")
            others.append(other->frameGeometry());
    const QRect area = window->screen()->availableGeometry();
    if (const std::optional<QPoint> spot = spotBeside(others, frame, area))
        return *spot;
    return spotBeside({*taken}, frame, area).value_or(centred);
}

// Where neither a window nor the home beside it fits as they are, the home moves so that the two fit side by side
// (or one above the other), centred together.
void makeRoomBeside(const QWidget *window, QSize frame)
{
    const std::optional<QRect> taken = homeFrame(window);
    const QRect area = window->screen()->availableGeometry();
    if (!taken || spotBeside({*taken}, frame, area))
        return;
    QRect moved = *taken;
    if (taken->width() + HomeGap + frame.width() <= area.width())
        moved.moveLeft(area.x() + (area.width() - taken->width() - HomeGap - frame.width()) / 2);
    else if (taken->height() + HomeGap + frame.height() <= area.height())
        moved.moveTop(area.y() + (area.height() - taken->height() - HomeGap - frame.height()) / 2);
    else
        return;
    // Placed on purpose now: the watch that centres it would take it back.
    delete home()->findChild<QObject *>(QStringLiteral("FrameCentring"), Qt::FindDirectChildrenOnly);
    home()->move(moved.topLeft());
}

bool encloses(const QMargins &m)
{
    return !m.isNull() && m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0;
}

// The frame around a shown window as the window manager says now; around a hidden one, or one shown again that the
// window manager has not framed yet, the frame it had when it last showed. Null while unknown: before the window
// manager first framed it, and for a moment after it mapped, when Qt may report a frame that does not enclose it.
QMargins knownFrame(QWidget *window)
{
    constexpr const char *Last = "lastFrame";
    QMargins m;
    if (window->isVisible() && window->windowHandle()) {
        m = platform::drawnFrame(window);
        if (m.isNull())
            m = window->windowHandle()->frameMargins();
    } else {
        const QRect frame = window->frameGeometry(), inner = window->geometry();
        m = QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                     frame.bottom() - inner.bottom());
    }
    if (encloses(m))
        window->setProperty(Last, QVariant::fromValue(m));
    else
        m = window->property(Last).value<QMargins>();
    return encloses(m) ? m : QMargins();
}

// Centres a window again by its real frame once the window manager has framed it, for a window centred before
// its frame was known; unless it was moved elsewhere meanwhile. It looks for up to 10 s after each show (a loaded
// desktop frames late), as Qt tells the widget nothing when it learns the frame.
class FrameCentring : public QObject {
public:
    FrameCentring(QWidget *window, QPoint spot) : QObject(window), m_window(window), m_spot(spot)
    {
        setObjectName(QStringLiteral("FrameCentring"));
        m_timer.setInterval(25);
        connect(&m_timer, &QTimer::timeout, this, &FrameCentring::look);
        window->installEventFilter(this);
        if (window->isVisible())
            m_timer.start();
    }
    void setSpot(QPoint spot) { m_spot = spot; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_looks = 0;
            m_timer.start();
            makeRoomBeside(m_window, m_window->size().grownBy(knownFrame(m_window)));
        }
        return false;
    }

private:
    void look()
    {
        if (!m_window->isVisible() || ++m_looks > 400) {
            m_timer.stop();
            return;
        }
        const QMargins frame = knownFrame(m_window);
        if (frame.isNull())
            return;
        // Where the frame is, as the X server has it: the window manager may place the window itself as it maps it
        // (mutter centres it in the work area), which Qt learns only later, and a watch that believed Qt would end
        // before that.
        QPoint at = m_window->geometry().topLeft() - QPoint(frame.left(), frame.top());
        if (const std::optional<QRect> placed = platform::placedFrame(m_window)) {
            if (placed->isNull())
                return;
            at = placed->topLeft();
        }
        // Where it belongs. Until Qt knows the frame as well, a move may land a frame's width or height off the
        // place asked for; a window further off was moved elsewhere meanwhile, and stays. Except beside the home in
        // the first moments after it shows: there it is the window manager that put it elsewhere (mutter 48 centres a
        // new window in the work area whatever it asked for), and it goes where it belongs.
        // The window's size may be known only now (Qt 6.8 under mutter): where it fits beside the home no other way,
        // the home moves aside first.
        makeRoomBeside(m_window, m_window->size().grownBy(frame));
        const QPoint centred = centredSpot(m_window, m_window->size().grownBy(frame));
        const QPoint off = at - m_spot;
        const bool placing = m_looks <= PlacingLooks && homeFrame(m_window);
        if (!placing &&
            (qAbs(off.x()) > frame.left() + frame.right() + 1 || qAbs(off.y()) > frame.top() + frame.bottom() + 1)) {
            m_timer.stop();
            return;
        }
        if (at != centred) {
            m_spot = centred;
            m_window->move(centred);
            return;
        }
        m_window->removeEventFilter(this);
        deleteLater();
        m_timer.stop();
    }

    QWidget *m_window;
    QPoint m_spot;
    QTimer m_timer;
    int m_looks = 0;
};

} // namespace

void centreOnScreen(QWidget *window)
{
    if (!window->screen())
        return;
    // Qt places a window by its frame's top-left. A window shown before keeps the frame it had then; one not shown
    // yet has the frame the window manager expects, where it says so beforehand.
    QMargins frame = knownFrame(window);
    if (frame.isNull() && !window->isVisible())
        frame = platform::expectedFrame(window);
    if (window->isVisible())
        makeRoomBeside(window, window->size().grownBy(frame));
    const QPoint spot = centredSpot(window, window->size().grownBy(frame));
    window->move(spot);
    // Found by its name: findChild<T> takes only classes with Q_OBJECT.
    auto *watch = static_cast<FrameCentring *>(
        window->findChild<QObject *>(QStringLiteral("FrameCentring"), Qt::FindDirectChildrenOnly));
    if (watch)
        watch->setSpot(spot);
    else
        new FrameCentring(window, spot);
}

void setHomeWindow(QWidget *window)
{
    home() = window;
}

QWidget *homeWindow()
{
    return home();
}

std::optional<QPoint> spotBeside(const QList<QRect> &taken, QSize frame, const QRect &area)
{
    const auto free = [&](const QRect &place) {
        return area.contains(place) &&
               std::none_of(taken.cbegin(), taken.cend(), [&](const QRect &t) { return t.intersects(place); });
    };
    for (const QRect &next : taken) {
        // Along the side it opens on, as near the rectangle's top (or left) as the area lets it be.
        const int top = std::clamp(next.top(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
        const int left = std::clamp(next.left(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
        const QPoint sides[] = {{next.right() + 1 + HomeGap, top},
                                {left, next.bottom() + 1 + HomeGap},
                                {next.left() - HomeGap - frame.width(), top},
                                {left, next.top() - HomeGap - frame.height()}};
        for (const QPoint &at : sides)
            if (free(QRect(at, frame)))
                return at;
    }
    return std::nullopt;
}

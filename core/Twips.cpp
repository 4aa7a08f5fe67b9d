// SPDX-License-Identifier: GPL-3.0-or-later
#include "Twips.h"

#include <QEvent>
#include <QPointer>

namespace {

// The frame's top-left that centres `frame` on the window's screen.
QPoint centredSpot(const QWidget *window, QSize frame)
{
    const QRect area = window->screen()->geometry();
    return {area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2};
}

bool framed(const QWidget *window)
{
    return window->frameGeometry().size() != window->size();
}

// Watches a window centred before its frame was known and centres it again by the frame once the window manager
// has framed it (Qt learns the frame when the window moves into it), then goes.
class FrameCentring : public QObject {
public:
    FrameCentring(QWidget *window, QPoint spot) : QObject(window), m_window(window), m_spot(spot)
    {
        setObjectName(QStringLiteral("FrameCentring"));
        window->installEventFilter(this);
    }
    void setSpot(QPoint spot) { m_spot = spot; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
                                    type == QEvent::WindowActivate)) {
            if (m_window->isVisible() && m_window->screen() && framed(m_window)) {
                // pos() is the frame's top-left: where centreOnScreen put it, unless someone moved it since.
                if (m_window->pos() == m_spot)
                    m_window->move(centredSpot(m_window, m_window->frameGeometry().size()));
                deleteLater();
                m_window->removeEventFilter(this);
            }
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    QPoint m_spot;
};

} // namespace

void centreOnScreen(QWidget *window)
{
    if (!window->screen())
        return;
    // Qt places a window by its frame's top-left; the frame's size is known once the window manager framed it.
    // A window shown before keeps the frame it had then.
    const bool known = framed(window);
    const QPoint spot = centredSpot(window, known ? window->frameGeometry().size() : window->size());
    window->move(spot);
    auto *watch = window->findChild<FrameCentring *>(QStringLiteral("FrameCentring"), Qt::FindDirectChildrenOnly);
    if (known) {
        if (watch) {
            window->removeEventFilter(watch);
            watch->deleteLater();
        }
    } else if (watch) {
        watch->setSpot(spot);
    } else {
        new FrameCentring(window, spot);
    }
}

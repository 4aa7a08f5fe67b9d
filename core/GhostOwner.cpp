// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/GhostOwner.h"

#include "platform/Tray.h"

#include <QTimer>

GhostOwner::GhostOwner(ProgramLifecycle &lifecycle, const QString &caption, const QIcon &icon, const QString &tip,
                       QWidget *parent)
    : QWidget(parent), m_lifecycle(lifecycle), m_menu(new QMenu(this)), m_icon(icon), m_tip(tip)
{
    setWindowTitle(caption);
    setWindowIcon(icon);
    m_menu->setObjectName(QStringLiteral("PopupMenu"));
    m_menu->installEventFilter(this);
    connect(m_menu, &QMenu::aboutToHide, this, &GhostOwner::menuHidden);
}

void GhostOwner::Form_Load()
{
    AddTrayIcon(this, m_icon, m_tip);
    m_loaded = true;
}

void GhostOwner::Unload()
{
    deleteTrayIcon();
    m_menu->hide();
    m_loaded = false;
}

void GhostOwner::deleteTrayIcon()
{
    DeleteTrayIcon(this);
}

QAction *GhostOwner::addMenuItem(const QString &objectName, const QString &caption, void (GhostOwner::*handler)())
{
    QAction *action = m_menu->addAction(caption);
    action->setObjectName(objectName);
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] {
            const platform::BoxesSpeakForNoWindow fromTheTray;
            (this->*handler)();
        });
    return action;
}

void GhostOwner::addMenuSeparator(const QString &objectName)
{
    QAction *separator = m_menu->addSeparator();
    separator->setObjectName(objectName);
}

void GhostOwner::setTrayIdentity(const QString &id, const QString &title)
{
    // Keyed as the icon is: by the owner's TrayOwner part.
    platform::trayHost().describe(static_cast<TrayOwner *>(this), id, title, m_menu);
}

void GhostOwner::showPopupMenu()
{
    activateWindow();
    m_menuPoint = platform::trayHost().menuPoint();
    m_menuTouched = false;
    m_menuOpened.start();
    m_menu->popup(m_menuPoint);
}

bool GhostOwner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_menu && (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress ||
                              event->type() == QEvent::MouseButtonRelease))
        m_menuTouched = true;
    return QWidget::eventFilter(watched, event);
}

// On X11 the menu is now and then closed again at once, before any key or click has reached it (seen right after
// the window manager closed a window): no one chose anything, so it opens once more.
void GhostOwner::menuHidden()
{
    if (m_menuTouched || !m_menuOpened.isValid() || m_menuOpened.elapsed() > 150)
        return;
    m_menuOpened.invalidate();
    QTimer::singleShot(0, m_menu, [this] { m_menu->popup(m_menuPoint); });
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/GhostOwner.h"

#include "platform/Tray.h"

GhostOwner::GhostOwner(ProgramLifecycle &lifecycle, const QString &caption, const QIcon &icon, const QString &tip,
                       QWidget *parent)
    : QWidget(parent), m_lifecycle(lifecycle), m_menu(new QMenu(this)), m_icon(icon), m_tip(tip)
{
    setWindowTitle(caption);
    setWindowIcon(icon);
    m_menu->setObjectName(QStringLiteral("PopupMenu"));
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
        connect(action, &QAction::triggered, this, handler);
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
    m_menu->popup(platform::trayHost().menuPoint());
}

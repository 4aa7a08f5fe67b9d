// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramHost.h"
#include "core/TrayIcon.h"
#include "platform/MessageBox.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QMenu>
#include <QWidget>

// The hidden window behind a program's tray icon: it adds the icon when loaded, is told of the clicks on it and
// holds the program's tray menu. It is never shown.
class GhostOwner : public QWidget, public TrayOwner {
    Q_OBJECT
public:
    GhostOwner(ProgramLifecycle &lifecycle, const QString &caption, const QIcon &icon, const QString &tip,
               QWidget *parent = nullptr);

    // Loads the owner: adds its tray icon.
    virtual void Form_Load();
    // Unloads it: takes its tray icon away.
    void Unload();
    bool isLoaded() const { return m_loaded; }
    void deleteTrayIcon();
    // Closes the program's own windows when the suite ends.
    virtual void UnloadWindows() {}

    QMenu *popupMenu() const { return m_menu; }
    QString tip() const { return m_tip; }

protected:
    QAction *addMenuItem(const QString &objectName, const QString &caption, void (GhostOwner::*handler)() = nullptr);
    template <typename Owner>
    QAction *addMenuItem(const QString &objectName, const QString &caption, void (Owner::*handler)())
    {
        QAction *action = addMenuItem(objectName, caption);
        Owner *owner = static_cast<Owner *>(this);
        connect(action, &QAction::triggered, owner, [owner, handler] {
            const platform::BoxesSpeakForNoWindow fromTheTray;
            (owner->*handler)();
        });
        return action;
    }
    void addMenuSeparator(const QString &objectName = {});
    // How trays that list their items (StatusNotifierItem hosts) name this program: a stable id and a title.
    void setTrayIdentity(const QString &id, const QString &title);
    // Brings the owner forward and opens its menu at the mouse, or where the tray asked for it.
    void showPopupMenu();

    bool eventFilter(QObject *watched, QEvent *event) override;

    ProgramLifecycle &m_lifecycle;

private:
    void menuHidden();

    QMenu *m_menu;
    // When the menu last opened, and whether a key or a click has reached it since.
    QElapsedTimer m_menuOpened;
    QPoint m_menuPoint;
    bool m_menuTouched = false;
    QIcon m_icon;
    QString m_tip;
    bool m_loaded = false;
};

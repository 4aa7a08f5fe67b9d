// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

// A window that owns a tray icon receives the icon's mouse messages (514, 515, 517) here.
class TrayOwner {
public:
    virtual ~TrayOwner() = default;
    virtual void Form_MouseMove(int message) = 0;
    // The icon moved to another kind of tray: a tip that says what a click does may need new words.
    virtual void trayHostChanged() {}
};

enum NotifyIconMessage { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };

// The one record shared by the four owners. Each owner puts itself into `window` before every call, because
// the record may still name the owner of an earlier call.
struct NotifyIconData {
    TrayOwner *window = nullptr;
    int uID = 1;
    int uFlags = 7;             // message, icon and tip are valid
    int uCallbackMessage = 512; // mouse-move
    QIcon hIcon;
    QString szTip;
};

NotifyIconData &TrayIcon();
bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData &data);

// The usual sequences on the shared record.
void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
// The tip is given again: the record may still hold another owner's tip.
void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
void DeleteTrayIcon(TrayOwner *owner);

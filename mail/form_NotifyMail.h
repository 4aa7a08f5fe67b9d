// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/GhostOwner.h"
#include "mail/DialupLink.h"
#include "mail/MailCheck.h"

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class form_Checking;
class form_Properties;

// The e-mail notifier: owner of the mail tray icon and, when new mail arrives, the notice itself. It sits
// minimised and hidden while there is nothing to tell. It starts the mail check's passes (on its timer, from the
// tray, after a dial-up has connected) and shows what they report.
class form_NotifyMail : public GhostOwner {
    Q_OBJECT
public:
    explicit form_NotifyMail(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);
    ~form_NotifyMail() override;

    void Form_Load() override;
    void trayActivated(platform::TrayClick click) override;
    void trayHostChanged() override;
    void UnloadWindows() override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_CheckNow_Click();
    void menu_WSproperties_Click();
    void menu_Exit_Click();

    // A check the user asked for, with its progress window; every message present counts as new.
    void CheckNow();
    // A pass over every account; what it finds comes later.
    void CheckMail();
    void timer_CheckMail_Timer();
    void timer_SpinMoon_Timer();
    void timer_Blink_Timer();
    void timer_DisableAutoDial_Timer();
    void c_ReadNow_Click();
    void c_ReadLater_Click();

    MailCheck &engine() { return *m_engine; }
    bool isChecking() const { return m_engine->isChecking(); }
    // The icon the tray shows now: 0 idle, 1 new mail, 2.. a frame of the moon.
    int trayImage() const { return m_trayImage; }
    // The tip's line about the last check when it failed; empty after a check that succeeded.
    QString lastFailure() const { return m_lastFailure; }

    // The notice: the new messages' senders and subjects, and how many there are.
    void setNotice(const QString &notice, int count);
    // The notice's controls, made by the first setNotice().
    QPlainTextEdit *text_Display = nullptr;
    QLabel *label_Email = nullptr;
    QPushButton *c_ReadNow = nullptr;
    QPushButton *c_ReadLater = nullptr;
    QTimer timer_CheckMail;
    QTimer timer_SpinMoon;
    QTimer timer_Blink;
    QTimer timer_DisableAutoDial;
    DialupLink dialup;
    // The progress window, made by the first manual check that shows it.
    form_Checking *checkingWindow();
    form_Properties *propertiesWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void startPass(bool manual);
    void accountStarted(const QString &server);
    void accountChecked(int count);
    void accountFailed(const MailFailure &failure);
    void passFinished();
    // Push runs where the user has the mail checked by itself and no dial-up line would be held open for it.
    bool pushAllowed() const;
    void restartPush();
    // A watched mailbox changed: a pass now, or as soon as the one under way ends.
    void pushChanged();
    // After a resume or a change of the network: a scheduled pass once the network has settled.
    void systemWoke();
    void checkAfterWake();
    // What ends every pass, finished or stopped.
    void endPass();
    void showNotice(const QString &notice, int total, bool chime = true);
    // Tells this pass's new mail in the desktop's notification area, where the user chose that and a server is
    // there; false when the notice should tell it instead.
    bool notifyDesktop();
    void notificationAction(uint id, const QString &key);
    // Takes this program's notifications away: the mail they told of has been seen to.
    void closeNotifications();
    // Hides the notice until the next new mail; the tray icon stays.
    void putAway();
    void setTrayImage(int image);
    bool checkingVisible() const;

    std::unique_ptr<MailAccounts> m_accounts;
    std::unique_ptr<MailCheck> m_engine;
    std::unique_ptr<form_Checking> m_checkingWindow;
    QPointer<form_Properties> m_properties;
    int m_spinFrame = 0;
    int m_trayImage = 0;
    QString m_lastFailure;
    // The pass under way: whether the user asked for it, and its first failure, which the tray tells.
    bool m_manualPass = false;
    QString m_passFailure;
    bool m_pushQueued = false;
    // The tip's line for each account whose push connection is down.
    std::array<QString, MaxMailAccounts> m_pushDown;
    // Every failure of the pass so far was the network's: the tip says so and the next change of it checks again.
    bool m_passNetworkDown = false;
    QTimer m_wakeCheck;
    // Counts the notices shown, so that a late "minimised" from the window manager puts away only its own.
    int m_noticesShown = 0;
    // The notifications up now, and the notice a click on one of them opens.
    QSet<uint> m_notifications;
    QString m_notifiedNotice;
    int m_notifiedTotal = 0;
};

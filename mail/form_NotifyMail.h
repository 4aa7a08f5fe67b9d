// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/GhostOwner.h"
#include "mail/DialupLink.h"
#include "mail/NewMail.h"
#include "mail/Pop3Client.h"

#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class form_Checking;
class form_Properties;

// The e-mail notifier: owner of the mail tray icon and, when new mail arrives, the notice itself. It sits
// minimised and hidden while there is nothing to tell. It also runs the checks: on its timer, from the tray, and
// after a dial-up has connected.
class form_NotifyMail : public GhostOwner {
    Q_OBJECT
public:
    explicit form_NotifyMail(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);
    ~form_NotifyMail() override;

    void Form_Load() override;
    void trayActivated(platform::TrayMessage message) override;
    void trayHostChanged() override;
    void UnloadWindows() override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_CheckNow_Click();
    void menu_WSproperties_Click();
    void menu_Exit_Click();

    // A check the user asked for, with its progress window; every message present counts as new.
    void CheckNow();
    // One pass over every account.
    void CheckMail();
    void timer_CheckMail_Timer();
    void timer_SpinMoon_Timer();
    void timer_Blink_Timer();
    void timer_DisableAutoDial_Timer();
    void c_ReadNow_Click();
    void c_ReadLater_Click();

    // What the last check left: whether every account answered, and each account's memory.
    bool MailAllOk = true;
    std::array<MailboxMemory, 10> mailboxes;
    bool isChecking() const { return m_checking; }
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
    Pop3Client FreePOP1;
    DialupLink dialup;
    // The progress window, made by the first manual check that shows it.
    form_Checking *checkingWindow();
    form_Properties *propertiesWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // What a check gathers over the accounts.
    struct CheckPass {
        QString notice;
        bool newMail = false;
        int total = 0;
        QString failure;
    };
    void checkAccountAt(int index, int accounts, CheckPass &pass);
    void accountFailed(const QString &server, int number, const QString &why, QString &failure);
    void showNotice(const QString &notice, int total);
    // Hides the notice until the next new mail; the tray icon stays.
    void putAway();
    void setTrayImage(int image);
    void resetMailboxes();
    bool checkingVisible() const;

    std::unique_ptr<form_Checking> m_checkingWindow;
    QPointer<form_Properties> m_properties;
    int m_minuteCounter = 0;
    int m_spinFrame = 0;
    int m_trayImage = 0;
    QString m_lastFailure;
    bool m_checking = false;
    // Counts the notices shown, so that a late "minimised" from the window manager puts away only its own.
    int m_noticesShown = 0;
    bool m_stopRequested = false;
};

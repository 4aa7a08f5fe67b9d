#pragma once

#include "core/GhostOwner.h"
#include "mail/DialupLink.h"

// The e-mail notifier: owner of the mail tray icon and, when new mail arrives, the notice itself. It sits
// minimised and hidden while there is nothing to tell.
class form_NotifyMail : public GhostOwner {
    Q_OBJECT
public:
    explicit form_NotifyMail(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);

    void Form_MouseMove(int message) override;
    void menu_Help_Click();
    void menu_WSproperties_Click();
    void menu_Exit_Click();

    // Dialling for the mail check, and its status window.
    DialupLink dialup;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
};

#include "mail/form_NotifyMail.h"

#include "platform/Tray.h"

#include <QCloseEvent>

form_NotifyMail::form_NotifyMail(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("You have new email !"), QIcon(QStringLiteral(":/icons/mail.svg")),
                 QStringLiteral("Email check (doubleclick to check)"), parent)
{
    setObjectName(QStringLiteral("form_NotifyMail"));
    popupMenu()->setObjectName(QStringLiteral("menu_SystemTray"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_NotifyMail::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_WSproperties"), QStringLiteral("&Tarnibe properties..."),
                &form_NotifyMail::menu_WSproperties_Click);
    addMenuSeparator(QStringLiteral("menu_Line1"));
    addMenuItem(QStringLiteral("menu_Exit"), QStringLiteral("&Exit email check"), &form_NotifyMail::menu_Exit_Click);
}

void form_NotifyMail::Form_MouseMove(int message)
{
    if (message == platform::RightButtonUp)
        showPopupMenu();
}

void form_NotifyMail::menu_Help_Click()
{
    m_lifecycle.openHelp();
}

void form_NotifyMail::menu_WSproperties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_NotifyMail::menu_Exit_Click()
{
    m_lifecycle.exitProgram(Program::Email, this, [this] {
        Unload();
        hide();
    });
}

void form_NotifyMail::closeEvent(QCloseEvent *event)
{
    // The notice's close button only puts it away; the tray icon stays.
    event->ignore();
    showMinimized();
}

void form_NotifyMail::changeEvent(QEvent *event)
{
    GhostOwner::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        hide();
}

#include "clock/form_GhostTime.h"

#include "platform/Tray.h"

form_GhostTime::form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostTime"), QIcon(QStringLiteral(":/icons/clock.svg")),
                 QStringLiteral("Atomic time"), parent)
{
    setObjectName(QStringLiteral("form_GhostTime"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostTime::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties"),
                &form_GhostTime::menu_Properties_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_Exittime"), QStringLiteral("&Exit atomic time"),
                &form_GhostTime::menu_Exittime_Click);
}

void form_GhostTime::Form_MouseMove(int message)
{
    if (message == platform::RightButtonUp)
        showPopupMenu();
}

void form_GhostTime::menu_Help_Click()
{
    m_lifecycle.openHelp();
}

void form_GhostTime::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostTime::menu_Exittime_Click()
{
    m_lifecycle.exitProgram(Program::Clock, this, [this] { Unload(); });
}

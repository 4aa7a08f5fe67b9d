#include "calculator/form_GhostCalculator.h"

#include "platform/Tray.h"

form_GhostCalculator::form_GhostCalculator(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostCalculator"), QIcon(QStringLiteral(":/icons/calculator.svg")),
                 QStringLiteral("Calculator"), parent)
{
    setObjectName(QStringLiteral("form_GhostCalculator"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostCalculator::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties..."),
                &form_GhostCalculator::menu_Properties_Click);
    addMenuSeparator(QStringLiteral("menu_Line"));
    addMenuItem(QStringLiteral("menu_ExitCalculator"), QStringLiteral("&Exit calculator"),
                &form_GhostCalculator::menu_ExitCalculator_Click);
}

void form_GhostCalculator::Form_MouseMove(int message)
{
    if (message == platform::RightButtonUp)
        showPopupMenu();
}

void form_GhostCalculator::menu_Help_Click()
{
    m_lifecycle.openHelp();
}

void form_GhostCalculator::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostCalculator::menu_ExitCalculator_Click()
{
    m_lifecycle.exitProgram(Program::Calculator, this, [this] { Unload(); });
}

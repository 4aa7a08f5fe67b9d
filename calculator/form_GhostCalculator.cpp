// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/form_GhostCalculator.h"

#include "calculator/form_Calculator.h"
#include "platform/Icons.h"
#include "platform/Tray.h"

form_GhostCalculator::form_GhostCalculator(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostCalculator"), platform::suiteIcon(QStringLiteral("calculator")),
                 QStringLiteral("Calculator"), parent)
{
    setObjectName(QStringLiteral("form_GhostCalculator"));
    setTrayIdentity(QStringLiteral("tarnibe-calculator"), QStringLiteral("Tarnibe Calculator"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostCalculator::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties..."),
                &form_GhostCalculator::menu_Properties_Click);
    addMenuSeparator(QStringLiteral("menu_Line"));
    addMenuItem(QStringLiteral("menu_ExitCalculator"), QStringLiteral("&Exit calculator"),
                &form_GhostCalculator::menu_ExitCalculator_Click);
}

form_GhostCalculator::~form_GhostCalculator()
{
    delete m_calculator;
}

form_Calculator *form_GhostCalculator::calculator() const
{
    return m_calculator;
}

void form_GhostCalculator::trayActivated(platform::TrayClick click)
{
    if (click == platform::TrayClick::Left) {
        if (m_calculator && m_calculator->isVisible()) {
            m_calculator->setWindowState(m_calculator->windowState() & ~Qt::WindowMinimized);
        } else {
            if (!m_calculator) {
                m_calculator = new form_Calculator;
                // The close button discards the window and its tape; the next click makes a fresh one.
                m_calculator->setAttribute(Qt::WA_DeleteOnClose);
                m_calculator->Form_Load();
            }
            m_calculator->show();
        }
        m_calculator->raise();
        m_calculator->activateWindow();
    } else if (click == platform::TrayClick::Right) {
        showPopupMenu();
    }
}

void form_GhostCalculator::UnloadWindows()
{
    delete m_calculator;
}

void form_GhostCalculator::menu_Help_Click()
{
    m_lifecycle.openHelp(QStringLiteral("calculator.html"));
}

void form_GhostCalculator::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostCalculator::menu_ExitCalculator_Click()
{
    m_lifecycle.exitProgram(Program::Calculator, this, [this] {
        Unload();
        // Hidden, not closed: the tape is there again when the calculator is started and opened again.
        if (m_calculator)
            m_calculator->hide();
    });
}

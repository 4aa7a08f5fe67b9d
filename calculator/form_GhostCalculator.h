// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/GhostOwner.h"

#include <QPointer>

class form_Calculator;

// Owner of the calculator's tray icon ("Calculator") and its menu. A left click on the icon opens the calculator
// window; the window is made on the first click and lives until the user closes it.
class form_GhostCalculator : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostCalculator(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);
    ~form_GhostCalculator() override;

    void trayActivated(platform::TrayClick click) override;
    void UnloadWindows() override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_ExitCalculator_Click();

    // The calculator window, or nullptr while it does not exist.
    form_Calculator *calculator() const;

private:
    QPointer<form_Calculator> m_calculator;
};

#pragma once

#include "core/GhostOwner.h"

// Owner of the calculator's tray icon ("Calculator") and its menu.
class form_GhostCalculator : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostCalculator(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);

    void Form_MouseMove(int message) override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_ExitCalculator_Click();
};

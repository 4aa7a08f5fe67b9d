#pragma once

#include "core/GhostOwner.h"

// Owner of the clock's tray icon ("Atomic time") and its menu.
class form_GhostTime : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostTime(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);

    void Form_MouseMove(int message) override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_Exittime_Click();
};

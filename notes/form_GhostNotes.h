#pragma once

#include "core/GhostOwner.h"

// Owner of the notes program's tray icon ("New note") and its menu.
class form_GhostNotes : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostNotes(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);

    void Form_MouseMove(int message) override;
    void menu_Help_Click();
    void menu_Properties_Click();
    void menu_ExitNotes_Click();
};

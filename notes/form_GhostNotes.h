// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/GhostOwner.h"

// Owner of the notes program's tray icon ("New note") and its menu, which acts on all notes at once.
class form_GhostNotes : public GhostOwner {
    Q_OBJECT
public:
    explicit form_GhostNotes(ProgramLifecycle &lifecycle, QWidget *parent = nullptr);

    void Form_Load() override;
    void trayActivated(platform::TrayClick click) override;
    void menu_Help_Click();
    void menu_HideAll_Click();
    void menu_ShowAllNotes_Click();
    void menu_EraseAll_Click();
    void menu_MinimizeNotes_Click();
    void menu_MaximizeNotes_Click();
    void menu_HideContainer_Click();
    void menu_SortNotes_Click();
    void menu_Properties_Click();
    void menu_RestoreNotes_Click();
    void menu_ExportNotes_Click();
    void menu_ImportNotes_Click();
    void menu_ExitNotes_Click();

private:
    QAction *menu_HideContainer = nullptr;
};

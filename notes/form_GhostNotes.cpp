// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/form_GhostNotes.h"

#include "core/Settings.h"
#include "core/Twips.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/Tray.h"

#include <cmath>

form_GhostNotes::form_GhostNotes(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostNotes"), platform::suiteIcon(QStringLiteral("notes")),
                 QStringLiteral("New note"), parent)
{
    setObjectName(QStringLiteral("form_GhostNotes"));
    setTrayIdentity(QStringLiteral("tarnibe-notes"), QStringLiteral("Tarnibe Notes"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostNotes::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_HideAll"), QStringLiteral("H&ide all notes"),
                &form_GhostNotes::menu_HideAll_Click);
    addMenuItem(QStringLiteral("menu_ShowAllNotes"), QStringLiteral("Sh&ow all notes"),
                &form_GhostNotes::menu_ShowAllNotes_Click);
    addMenuItem(QStringLiteral("menu_EraseAll"), QStringLiteral("&Delete all notes"),
                &form_GhostNotes::menu_EraseAll_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_MinimizeNotes"), QStringLiteral("&Minimize all"),
                &form_GhostNotes::menu_MinimizeNotes_Click);
    addMenuItem(QStringLiteral("menu_MaximizeNotes"), QStringLiteral("Ma&ximize all"),
                &form_GhostNotes::menu_MaximizeNotes_Click);
    addMenuSeparator();
    menu_HideContainer = addMenuItem(QStringLiteral("menu_HideContainer"), QStringLiteral("Hide the &container"));
    menu_HideContainer->setCheckable(true);
    // The handler decides the check mark from the state before the click.
    connect(menu_HideContainer, &QAction::triggered, this, [this] {
        menu_HideContainer->setChecked(!menu_HideContainer->isChecked());
        menu_HideContainer_Click();
    });
    addMenuItem(QStringLiteral("menu_SortNotes"), QStringLiteral("&Sort and minimize all"),
                &form_GhostNotes::menu_SortNotes_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_RestoreNotes"), QStringLiteral("&Restore notes..."),
                &form_GhostNotes::menu_RestoreNotes_Click);
    addMenuItem(QStringLiteral("menu_ExportNotes"), QStringLiteral("Ex&port notes..."),
                &form_GhostNotes::menu_ExportNotes_Click);
    addMenuItem(QStringLiteral("menu_ImportNotes"), QStringLiteral("Import &notes..."),
                &form_GhostNotes::menu_ImportNotes_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties..."),
                &form_GhostNotes::menu_Properties_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_ExitNotes"), QStringLiteral("&Exit notes"),
                &form_GhostNotes::menu_ExitNotes_Click);
}

void form_GhostNotes::Form_Load()
{
    GhostOwner::Form_Load();
    menu_HideContainer->setChecked(!Settings().ShowContainer);
    // Started again after "Exit notes": the notes that showed then come back.
    if (form_Main *container = NotesContainer())
        container->showNotesAfterExit();
}

void form_GhostNotes::trayActivated(platform::TrayClick click)
{
    if (click == platform::TrayClick::Left) {
        if (form_Main *container = NotesContainer())
            container->image_NewNote_Click();
    } else if (click == platform::TrayClick::Right) {
        showPopupMenu();
    }
}

void form_GhostNotes::menu_Help_Click()
{
    m_lifecycle.openHelp(QStringLiteral("notes.html"));
}

void form_GhostNotes::menu_HideAll_Click()
{
    if (form_Main *container = NotesContainer())
        container->image_HideAll_Click();
}

void form_GhostNotes::menu_ShowAllNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->image_ShowAll_Click();
}

void form_GhostNotes::menu_EraseAll_Click()
{
    const auto answer = platform::showMessage(
        QStringLiteral("Are you sure you want to delete all the notes?\n\rYou can not undo this command."),
        QStringLiteral("Delete all"), platform::MsgIcon::Exclamation, platform::MsgButtons::YesNo,
        // It cannot be undone: a hurried Enter keeps the notes.
        platform::MsgAnswer::No);
    if (answer == platform::MsgAnswer::Yes)
        DeleteNote(0, true);
}

void form_GhostNotes::menu_MinimizeNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->image_Minimize_Click();
}

void form_GhostNotes::menu_MaximizeNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->image_Maximize_Click();
}

void form_GhostNotes::menu_HideContainer_Click()
{
    form_Main *container = NotesContainer();
    if (!menu_HideContainer->isChecked()) {
        menu_HideContainer->setChecked(true);
        if (container)
            container->hide();
        const auto answer = platform::showMessage(
            QStringLiteral("Do you want the container to be hidden the next time you start Tarnibe ?"),
            QStringLiteral("Hide container"), platform::MsgIcon::Question, platform::MsgButtons::YesNo,
            platform::MsgAnswer::No);
        if (answer == platform::MsgAnswer::Yes)
            Settings().ShowContainer = false;
    } else {
        menu_HideContainer->setChecked(false);
        if (container)
            container->bringBack();
        Settings().ShowContainer = true;
    }
    saveSettings();
}

void form_GhostNotes::menu_SortNotes_Click()
{
    // Columns of notes down the right of the screen; hidden notes take a place but do not advance the column.
    const QRect screen = screenTwips();
    const int firstTop = int(std::lround(screen.height() * 0.03));
    int top = firstTop;
    int column = 0;
    for (int i = 1; i <= NoteStore().count(); ++i) {
        const int left = int(std::lround(screen.width() * 0.7)) + column;
        if (form_Note *note = NoteWindow(i)) {
            note->moveTwips(left, top);
        } else {
            NoteStore().record(i)->left = left;
            NoteStore().record(i)->top = top;
        }
        if (NoteStore().record(i)->visible)
            top += 370;
        if (top + screen.height() * 0.1 > screen.height()) {
            column += 650;
            top = firstTop;
        }
    }
    menu_MinimizeNotes_Click();
}

void form_GhostNotes::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostNotes::menu_RestoreNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->menu_RestoreNotes_Click();
}

void form_GhostNotes::menu_ExportNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->menu_ExportNotes_Click();
}

void form_GhostNotes::menu_ImportNotes_Click()
{
    if (form_Main *container = NotesContainer())
        container->menu_ImportNotes_Click();
}

void form_GhostNotes::menu_ExitNotes_Click()
{
    m_lifecycle.exitProgram(Program::Notes, this, [this] {
        Unload();
        // Saved as they are, shown ones shown: the notes program started again shows them again.
        SaveAllNotes();
        if (form_Main *container = NotesContainer()) {
            container->hideNotesForExit();
            container->hide();
        }
    });
}

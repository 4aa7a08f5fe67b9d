#include "notes/form_GhostNotes.h"

#include "platform/Tray.h"

form_GhostNotes::form_GhostNotes(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("GhostNotes"), QIcon(QStringLiteral(":/icons/notes.svg")),
                 QStringLiteral("New note"), parent)
{
    setObjectName(QStringLiteral("form_GhostNotes"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_GhostNotes::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("&Tarnibe properties..."),
                &form_GhostNotes::menu_Properties_Click);
    addMenuSeparator();
    addMenuItem(QStringLiteral("menu_ExitNotes"), QStringLiteral("&Exit notes"),
                &form_GhostNotes::menu_ExitNotes_Click);
}

void form_GhostNotes::Form_MouseMove(int message)
{
    if (message == platform::RightButtonUp)
        showPopupMenu();
}

void form_GhostNotes::menu_Help_Click()
{
    m_lifecycle.openHelp();
}

void form_GhostNotes::menu_Properties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_GhostNotes::menu_ExitNotes_Click()
{
    m_lifecycle.exitProgram(Program::Notes, this, [this] { Unload(); });
}

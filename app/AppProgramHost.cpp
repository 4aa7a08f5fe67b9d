#include "app/AppProgramHost.h"

#include "calculator/form_GhostCalculator.h"
#include "clock/form_GhostTime.h"
#include "mail/form_NotifyMail.h"
#include "notes/form_GhostNotes.h"

#include <QCoreApplication>

AppProgramHost::AppProgramHost() = default;

AppProgramHost::~AppProgramHost() = default;

void AppProgramHost::attach(ProgramLifecycle &lifecycle)
{
    m_notes = std::make_unique<form_GhostNotes>(lifecycle);
    m_calculator = std::make_unique<form_GhostCalculator>(lifecycle);
    m_clock = std::make_unique<form_GhostTime>(lifecycle);
    m_mail = std::make_unique<form_NotifyMail>(lifecycle);
}

GhostOwner *AppProgramHost::owner(Program program) const
{
    switch (program) {
    case Program::Notes:
        return m_notes.get();
    case Program::Calculator:
        return m_calculator.get();
    case Program::Clock:
        return m_clock.get();
    case Program::Email:
        break;
    }
    return m_mail.get();
}

void AppProgramHost::startProgram(Program program)
{
    if (GhostOwner *o = owner(program))
        o->Form_Load();
}

void AppProgramHost::deleteTrayIcon(Program program)
{
    if (GhostOwner *o = owner(program))
        o->deleteTrayIcon();
}

void AppProgramHost::unloadWindows()
{
    for (Program program : {Program::Calculator, Program::Notes, Program::Email, Program::Clock}) {
        if (GhostOwner *o = owner(program)) {
            o->Unload();
            o->hide();
        }
    }
}

void AppProgramHost::endProcess()
{
    QCoreApplication::exit(0);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRows.h"
#include "notes/form_Main.h"

#include <QTest>

namespace NoteSamples {

// A left click on a part of a container row, as the pointer makes it.
inline void clickRow(form_Main &container, int index, NoteRows::Part part)
{
    const QRect where = container.rows()->partRect(index, part);
    QTest::mouseClick(container.rows(), Qt::LeftButton, {}, where.center());
}

// A row's alarm icon: its tooltip, marked when the icon is hidden.
inline QString rowAlarm(const form_Main &container, int index)
{
    return container.rows()->alarmTip(index) +
           (container.rows()->alarmShown(index) ? QString() : QStringLiteral(" (hidden)"));
}

} // namespace NoteSamples

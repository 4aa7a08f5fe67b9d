// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ClickableLabel.h"

#include <QMouseEvent>

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mousePressEvent(event);
    m_afterDoubleClick = false;
    Q_EMIT pressed();
    // Taken here: passed on, the window under the label would act on it too (a note would start a move).
    event->accept();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT released();
        // The release that ends a double click is no click of its own.
        if (rect().contains(event->position().toPoint()) && !m_afterDoubleClick)
            Q_EMIT clicked();
        m_afterDoubleClick = false;
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mouseDoubleClickEvent(event);
    m_afterDoubleClick = true;
    Q_EMIT doubleClicked();
    event->accept();
}

void ClickableLabel::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT mouseMoved();
    QLabel::mouseMoveEvent(event);
}

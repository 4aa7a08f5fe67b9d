// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace NoteIcons {

namespace {
QPixmap canvas(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
const QColor Ink(90, 80, 40);
} // namespace

QPixmap menu()
{
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setPen(QPen(Ink, 1.5));
    for (int y : {4, 7, 10})
        p.drawLine(3, y, 12, y);
    return pixmap;
}

QPixmap alarm()
{
    QPixmap pixmap = canvas(13, 13);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bell;
    bell.moveTo(2, 10);
    bell.cubicTo(3.5, 8, 2.5, 2, 6.5, 2);
    bell.cubicTo(10.5, 2, 9.5, 8, 11, 10);
    bell.closeSubpath();
    p.setPen(QPen(QColor(120, 60, 0), 1));
    p.setBrush(QColor(240, 160, 20));
    p.drawPath(bell);
    p.drawEllipse(QPointF(6.5, 11.2), 1.3, 1.3);
    return pixmap;
}

QPixmap makeBig()
{
    QPixmap pixmap = canvas(18, 17);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Ink, 1.6));
    p.drawEllipse(QPointF(7, 7), 4.5, 4.5);
    p.drawLine(QPointF(10.5, 10.5), QPointF(15, 15));
    p.drawLine(QPointF(5, 7), QPointF(9, 7));
    p.drawLine(QPointF(7, 5), QPointF(7, 9));
    return pixmap;
}

QPixmap resize()
{
    QPixmap pixmap = canvas(12, 12);
    QPainter p(&pixmap);
    p.setPen(QPen(Ink, 1));
    for (int k : {4, 7, 10})
        p.drawLine(k, 11, 11, k);
    return pixmap;
}

QPixmap dot()
{
    QPixmap pixmap = canvas(16, 15);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(255, 220, 60));
    p.drawEllipse(QPointF(8, 7.5), 5, 5);
    return pixmap;
}

QPixmap paper()
{
    QPixmap pixmap(735, 114);
    pixmap.fill(QColor(250, 248, 238));
    QPainter p(&pixmap);
    p.setPen(QColor(214, 226, 240));
    for (int y = 18; y < 114; y += 24)
        p.drawLine(0, y, 735, y);
    p.setPen(QColor(240, 200, 200));
    p.drawLine(118, 0, 118, 114);
    return pixmap;
}

} // namespace NoteIcons

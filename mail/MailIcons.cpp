// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailIcons.h"

#include "platform/Icons.h"

#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <array>

QIcon MailIdleIcon()
{
    return platform::suiteIcon(QStringLiteral("mail"));
}

QIcon MailNewIcon()
{
    return platform::suiteIcon(QStringLiteral("mail_new"));
}

namespace {

// The envelope with a moon in one of its eight phases in the corner: new, waxing crescent, first quarter,
// waxing gibbous, full, and back.
QPixmap moon(int frame, int size)
{
    QPixmap pixmap = MailIdleIcon().pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal r = size * 0.22;
    const QPointF centre(size - r - 1, r + 1);
    const QRectF disc(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    // The lit disc, then the earth's shadow sliding across it: new at frame 0, full at frame 4.
    painter.setClipRegion(QRegion(disc.toAlignedRect(), QRegion::Ellipse));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf5, 0xd7, 0x6e));
    painter.drawEllipse(disc);
    const qreal shift = frame <= 4 ? -2 * r * frame / 4.0 : 2 * r * (8 - frame) / 4.0;
    painter.setBrush(QColor(0x2b, 0x3a, 0x55));
    painter.drawEllipse(disc.translated(shift, 0));
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x1d, 0x21, 0x27), size / 32.0));
    painter.drawEllipse(disc);
    return pixmap;
}

// The envelope with a red disc and a white "!" in its lower right corner.
QPixmap failed(int size)
{
    QPixmap pixmap = MailIdleIcon().pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal r = size * 0.24;
    const QRectF disc(size - 2 * r - 1, size - 2 * r - 1, 2 * r, 2 * r);
    painter.setPen(QPen(QColor(0x7a, 0x10, 0x10), size / 32.0));
    painter.setBrush(QColor(0xd9, 0x30, 0x25));
    painter.drawEllipse(disc);
    painter.setPen(QPen(Qt::white, qMax(1.0, r / 3), Qt::SolidLine, Qt::RoundCap));
    const qreal x = disc.center().x();
    painter.drawLine(QPointF(x, disc.top() + r * 0.45), QPointF(x, disc.center().y() + r * 0.2));
    painter.drawPoint(QPointF(x, disc.bottom() - r * 0.45));
    return pixmap;
}

} // namespace

QIcon MailFailedIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (int size : {16, 22, 24, 32, 48, 64})
            made.addPixmap(failed(size));
        return made;
    }();
    return icon;
}

QIcon MoonFrame(int frame)
{
    static const std::array<QIcon, 8> frames = [] {
        std::array<QIcon, 8> made;
        for (int index = 0; index < 8; ++index)
            for (int size : {16, 22, 24, 32, 48, 64})
                made[size_t(index)].addPixmap(moon(index, size));
        return made;
    }();
    return frames[size_t(((frame % 8) + 8) % 8)];
}

QPixmap CheckingFrame(int frame)
{
    // An envelope flying to the right in four steps.
    QPixmap pixmap(96, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(QPoint(8 + (frame % 4) * 18, 2), MailIdleIcon().pixmap(28, 28));
    return pixmap;
}

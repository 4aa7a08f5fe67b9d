// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailIcons.h"

#include "platform/Icons.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <algorithm>
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

// The envelope with the new-mail badge in its upper right corner, the count in it instead of the "!". The badge
// takes most of a small icon, so that the digits stay readable at 16 pixels; a long number is squeezed to fit.
QPixmap counted(const QString &text, int size)
{
    QPixmap pixmap = MailIdleIcon().pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const qreal height = size <= 24 ? size * 0.69 : size * 0.5;
    const qreal outline = qMax(1.0, size / 32.0);
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setHintingPreference(QFont::PreferFullHinting);
    // The badge grows with the number up to the icon's width; past that the digits get smaller, then narrower.
    qreal textWidth = 0;
    qreal width = 0;
    qreal room = 0;
    for (int pixels = qMax(7, qRound(height * 0.8));; --pixels) {
        font.setPixelSize(pixels);
        textWidth = QFontMetricsF(font).horizontalAdvance(text);
        width = std::clamp(textWidth + height * 0.35, height, qreal(size));
        room = width - 2 * outline - height * 0.1;
        if (textWidth <= room || pixels <= 7 || pixels <= height * 0.6)
            break;
    }
    const QRectF badge(size - width + outline / 2, outline / 2, width - outline, height - outline);
    painter.setPen(QPen(QColor(0x5c, 0x0d, 0x00), outline));
    painter.setBrush(QColor(0xff, 0x4b, 0x1f));
    painter.drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
    painter.translate(badge.center());
    if (textWidth > room)
        painter.scale(room / textWidth, 1);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const qreal span = qMax(textWidth, room);
    painter.drawText(QRectF(-span / 2, -badge.height() / 2, span, badge.height()), Qt::AlignCenter, text);
    return pixmap;
}

} // namespace

QIcon MailCountIcon(int count)
{
    // The blink shows the same count again and again: the last one drawn is kept.
    static int last = 0;
    static QIcon icon;
    count = std::clamp(count, 1, 100);
    if (count != last || icon.isNull()) {
        const QString text = count > 99 ? QStringLiteral("99+") : QString::number(count);
        icon = QIcon();
        for (int size : {16, 22, 24, 32, 48, 64})
            icon.addPixmap(counted(text, size));
        last = count;
    }
    return icon;
}

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

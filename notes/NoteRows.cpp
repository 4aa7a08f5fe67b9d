// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteRows.h"

#include "core/Twips.h"
#include "notes/NoteIcons.h"
#include "notes/form_Note.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace {

// Design positions in twips.
constexpr int FirstRowTop = 255; // the template row; row 1 sits one step below it
constexpr int RowStep = 360;
constexpr int RowHeight = 240;
constexpr int TextWidth = 3840;
constexpr int DateWidth = 1545;
constexpr int DotLeft = 2100;
constexpr int AlarmLeft = 1875;
constexpr int AlarmOffset = 65;

} // namespace

NoteRows::NoteRows(QWidget *parent) : QWidget(parent), m_dateFont(QStringLiteral("Arial"), 8)
{
    setAutoFillBackground(true);
}

const NoteRows::Row *NoteRows::row(int index) const
{
    return index >= 1 && index <= count() ? &m_rows[size_t(index - 1)] : nullptr;
}

void NoteRows::append(const QString &created, int dotOffset)
{
    Row added;
    added.created = created;
    added.dotOffset = dotOffset;
    m_rows.push_back(added);
    update(partRect(count(), Part::None));
}

void NoteRows::remove(int index)
{
    if (!row(index))
        return;
    m_rows.erase(m_rows.begin() + (index - 1));
    if (m_shown) {
        std::erase(*m_shown, index);
        for (int &shown : *m_shown)
            shown -= shown > index ? 1 : 0;
    }
    for (Row &each : m_rows)
        each.dotOffset = ReadDotOffset;
    m_pressedRow = 0;
    update();
}

void NoteRows::clear()
{
    m_rows.clear();
    if (m_shown)
        m_shown->clear();
    m_pressedRow = 0;
    update();
}

void NoteRows::setFilter(std::optional<std::vector<int>> shown)
{
    if (shown)
        std::erase_if(*shown, [this](int index) { return !row(index); });
    m_shown = std::move(shown);
    m_pressedRow = 0;
    update();
}

int NoteRows::shownRow(int place) const
{
    if (place < 1 || place > shownCount())
        return 0;
    return m_shown ? (*m_shown)[size_t(place - 1)] : place;
}

int NoteRows::placeOf(int index) const
{
    if (!row(index))
        return 0;
    if (!m_shown)
        return index;
    const auto at = std::lower_bound(m_shown->begin(), m_shown->end(), index);
    return at != m_shown->end() && *at == index ? int(at - m_shown->begin()) + 1 : 0;
}

void NoteRows::setText(int index, const QString &text)
{
    if (index < 1 || index > count())
        return;
    m_rows[size_t(index - 1)].text = text;
    update(partRect(index, Part::None));
}

QString NoteRows::text(int index) const
{
    const Row *r = row(index);
    return r ? r->text : QString();
}

void NoteRows::setAlarm(int index, bool shown, const QString &tip)
{
    if (index < 1 || index > count())
        return;
    Row &r = m_rows[size_t(index - 1)];
    r.alarmShown = shown;
    r.alarmTip = tip;
    update(partRect(index, Part::None));
}

bool NoteRows::alarmShown(int index) const
{
    const Row *r = row(index);
    return r && r->alarmShown;
}

QString NoteRows::alarmTip(int index) const
{
    const Row *r = row(index);
    return r ? r->alarmTip : QString();
}

int NoteRows::top(int index) const
{
    const int place = placeOf(index);
    return FirstRowTop + RowStep * (place ? place : std::clamp(index, 0, count()));
}

int NoteRows::dotOffset(int index) const
{
    const Row *r = row(index);
    return r ? r->dotOffset : 0;
}

QRect NoteRows::partRect(int index, Part part) const
{
    const Row *r = row(index);
    if (!r || !placeOf(index))
        return {};
    const int rowTop = top(index);
    switch (part) {
    case Part::Alarm:
        return r->alarmShown ? twipsRect(AlarmLeft, rowTop + AlarmOffset, 195, 195) : QRect();
    case Part::Dot:
        return twipsRect(DotLeft, rowTop + r->dotOffset, 240, 225);
    case Part::Text:
        return twipsRect(TextLeft, rowTop, TextWidth, RowHeight);
    case Part::Date: {
        // As wide as the date needs in the font the desktop substitutes for Arial, which is often wider.
        QRect date = twipsRect(DateLeft, rowTop, DateWidth, RowHeight);
        date.setWidth(std::max(date.width(), QFontMetrics(m_dateFont).horizontalAdvance(r->created) + 2));
        return date;
    }
    case Part::None:
        break;
    }
    // The whole row, for repainting it.
    return QRect(toPixels(AlarmLeft), toPixels(rowTop), width(), toPixels(RowStep));
}

int NoteRows::rowAt(const QPoint &at, Part *part) const
{
    const int near = (toTwips(at.y()) - FirstRowTop) / RowStep;
    for (int place = std::max(1, near - 1); place <= std::min(shownCount(), near + 1); ++place) {
        const int index = shownRow(place);
        for (const Part each : {Part::Alarm, Part::Dot, Part::Text, Part::Date}) {
            if (partRect(index, each).contains(at)) {
                if (part)
                    *part = each;
                return index;
            }
        }
    }
    if (part)
        *part = Part::None;
    return 0;
}

void NoteRows::paintEvent(QPaintEvent *event)
{
    const QRect exposed = event->rect();
    const int first = std::max(1, (toTwips(exposed.top()) - FirstRowTop) / RowStep - 1);
    const int last = std::min(shownCount(), (toTwips(exposed.bottom()) - FirstRowTop) / RowStep + 1);
    if (first > last)
        return;
    QPainter painter(this);
    QPalette onYellow = palette();
    onYellow.setColor(QPalette::WindowText, Qt::black);
    const QPixmap dot = NoteIcons::dot();
    const QPixmap alarm = NoteIcons::alarm();
    // Drawn as labels draw them: left-aligned, centred in height, cut at their edges.
    const auto label = [&](const QRect &rect, const QString &text, const QPalette &palette) {
        painter.save();
        painter.setClipRect(rect);
        style()->drawItemText(&painter, rect, Qt::AlignLeft | Qt::AlignVCenter, palette, true, text,
                              QPalette::WindowText);
        painter.restore();
    };
    for (int place = first; place <= last; ++place) {
        const int index = shownRow(place);
        const Row &r = m_rows[size_t(index - 1)];
        if (r.alarmShown)
            style()->drawItemPixmap(&painter, partRect(index, Part::Alarm), Qt::AlignLeft | Qt::AlignVCenter, alarm);
        style()->drawItemPixmap(&painter, partRect(index, Part::Dot), Qt::AlignLeft | Qt::AlignVCenter, dot);
        const QRect text = partRect(index, Part::Text);
        painter.fillRect(text, NoteYellow);
        label(text, r.text, onYellow);
        painter.setFont(m_dateFont);
        label(partRect(index, Part::Date), r.created, palette());
        painter.setFont(font());
    }
}

bool NoteRows::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        Part part = Part::None;
        const int index = rowAt(help->pos(), &part);
        if (part == Part::Alarm && !alarmTip(index).isEmpty())
            QToolTip::showText(help->globalPos(), alarmTip(index), this, partRect(index, part));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void NoteRows::mousePressEvent(QMouseEvent *event)
{
    Part part = Part::None;
    const int index = event->button() == Qt::LeftButton ? rowAt(event->position().toPoint(), &part) : 0;
    if (!index || part == Part::Date)
        return QWidget::mousePressEvent(event);
    m_pressedRow = index;
    m_pressedPart = part;
    event->accept();
}

void NoteRows::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressedRow)
        return QWidget::mouseReleaseEvent(event);
    const int pressed = m_pressedRow;
    m_pressedRow = 0;
    // A click is a press and a release on the same part, as on a button.
    Part part = Part::None;
    if (rowAt(event->position().toPoint(), &part) == pressed && part == m_pressedPart)
        Q_EMIT clicked(pressed, part);
}

void NoteRows::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click: its release is no second click.
    m_pressedRow = 0;
    event->accept();
}

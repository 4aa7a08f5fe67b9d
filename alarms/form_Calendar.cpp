// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/form_Calendar.h"

#include "alarms/AlarmRules.h"
#include "alarms/Alarms.h"
#include "core/ClickableLabel.h"
#include "core/Twips.h"
#include "notes/NoteStore.h"
#include "platform/Clock.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <algorithm>

namespace {

const QColor Picked(255, 255, 0);
const QColor Unpicked(255, 255, 255);

QLabel *label(const QString &text, QWidget *parent, int left, int top, const char *name = nullptr)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    l->move(toPixels(left), toPixels(top));
    return l;
}

// The leading number of a text, 0 when it starts with none.
int leadingNumber(const QString &text)
{
    int value = 0;
    for (const QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

} // namespace

form_Calendar::form_Calendar(int noteIndex, QWidget *parent) : QDialog(parent), m_noteIndex(noteIndex)
{
    setObjectName(QStringLiteral("form_Calendar"));
    setWindowTitle(QStringLiteral("Alarm"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(toPixels(7200), toPixels(4450));

    label(QStringLiteral("Select a time when you wish to be reminded by this note....."), this, 195, 150, "label_Info");

    buildSummary();
    buildDateTime();

    auto *frame_Repeat = new QGroupBox(QStringLiteral("Repeat the alarm"), this);
    frame_Repeat->setObjectName(QStringLiteral("frame_Repeat"));
    frame_Repeat->setGeometry(toPixels(3600), toPixels(1500), toPixels(3300), toPixels(1485));
    const QString captions[] = {QStringLiteral("Once"), QStringLiteral("Everyday"), QStringLiteral("Every week"),
                                QStringLiteral("Every month"), QStringLiteral("Every year")};
    const QPoint places[] = {{150, 270}, {150, 615}, {150, 990}, {1650, 615}, {1650, 990}};
    for (int k = 0; k < 5; ++k) {
        auto *option = new QRadioButton(captions[k], frame_Repeat);
        option->setObjectName(u"option_Repeat" + QString::number(k));
        option->setGeometry(toPixels(places[k].x()), toPixels(places[k].y()), toPixels(1600), toPixels(285));
        option_Repeat[size_t(k)] = option;
    }

    auto *c_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    c_Cancel->setObjectName(QStringLiteral("c_Cancel"));
    c_Cancel->setGeometry(toPixels(3705), toPixels(3570), toPixels(1215), toPixels(345));
    connect(c_Cancel, &QPushButton::clicked, this, &form_Calendar::c_Cancel_Click);
    auto *c_Ok = new QPushButton(QStringLiteral("OK"), this);
    c_Ok->setObjectName(QStringLiteral("c_Ok"));
    c_Ok->setGeometry(toPixels(5505), toPixels(3570), toPixels(1215), toPixels(345));
    c_Ok->setDefault(true);
    connect(c_Ok, &QPushButton::clicked, this, &form_Calendar::c_Ok_Click);
}

// The summary: "The alarm rings: H:MM" over the weekday and the date.
void form_Calendar::buildSummary()
{
    auto *Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(toPixels(3615), toPixels(600), toPixels(3200), toPixels(700));
    auto *summary = new QGridLayout(Picture1);
    summary->setContentsMargins(toPixels(330), 0, 0, 0);
    summary->setHorizontalSpacing(8);
    auto *rings = new QHBoxLayout;
    rings->setSpacing(0);
    rings->addWidget(new QLabel(QStringLiteral("The alarm rings: "), Picture1));
    label_Hour = new QLabel(Picture1);
    label_Hour->setObjectName(QStringLiteral("label_Hour"));
    rings->addWidget(label_Hour);
    rings->addWidget(new QLabel(QStringLiteral(":"), Picture1));
    label_Minute = new QLabel(Picture1);
    label_Minute->setObjectName(QStringLiteral("label_Minute"));
    rings->addWidget(label_Minute);
    rings->addStretch(1);
    summary->addLayout(rings, 0, 0, 1, 2);
    label_Day = new QLabel(Picture1);
    label_Day->setObjectName(QStringLiteral("label_Day"));
    label_Date = new QLabel(Picture1);
    label_Date->setObjectName(QStringLiteral("label_Date"));
    summary->addWidget(label_Day, 1, 0);
    summary->addWidget(label_Date, 1, 1);
    summary->setColumnStretch(1, 1);
}

// The month, the year, the days of the month and the time.
void form_Calendar::buildDateTime()
{
    auto *frame_DateTime = new QGroupBox(QStringLiteral("Date and time"), this);
    frame_DateTime->setObjectName(QStringLiteral("frame_DateTime"));
    frame_DateTime->setGeometry(toPixels(195), toPixels(510), toPixels(3270), toPixels(3405));
    combo_Month = new QComboBox(frame_DateTime);
    combo_Month->setObjectName(QStringLiteral("combo_Month"));
    combo_Month->setGeometry(toPixels(165), toPixels(390), toPixels(1245), toPixels(315));
    combo_Year = new QComboBox(frame_DateTime);
    combo_Year->setObjectName(QStringLiteral("combo_Year"));
    combo_Year->setGeometry(toPixels(1665), toPixels(390), toPixels(1245), toPixels(315));
    connect(combo_Month, &QComboBox::activated, this, &form_Calendar::combo_Month_Click);
    connect(combo_Year, &QComboBox::activated, this, &form_Calendar::combo_Year_Click);

    auto *picture_Numbers = new QWidget(frame_DateTime);
    picture_Numbers->setObjectName(QStringLiteral("picture_Numbers"));
    picture_Numbers->setGeometry(toPixels(165), toPixels(825), toPixels(2745), toPixels(1965));
    // Seven fixed columns: day d sits in column (d - 1) mod 7 whatever the weekday of the first.
    for (int i = 0; i < 31; ++i) {
        auto *day = new ClickableLabel(QString::number(i + 1), picture_Numbers);
        day->setObjectName(u"label_Number" + QString::number(i));
        day->setAlignment(Qt::AlignCenter);
        day->setAutoFillBackground(true);
        day->setGeometry(toPixels(120 + 360 * (i % 7)), toPixels(105 + 360 * (i / 7)), toPixels(300), toPixels(300));
        connect(day, &ClickableLabel::clicked, this, [this, i] { label_Number_Click(i); });
        label_Number[size_t(i)] = day;
        colourDay(i, false);
    }

    label(QStringLiteral("h"), frame_DateTime, 180, 2955);
    label(QStringLiteral(":"), frame_DateTime, 780, 2955);
    label(QStringLiteral("min"), frame_DateTime, 1320, 2955);
    // Only digits: a time that cannot be read would make an alarm that never rings.
    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,2}")), this);
    text_Hour = new QLineEdit(frame_DateTime);
    text_Hour->setObjectName(QStringLiteral("text_Hour"));
    text_Minute = new QLineEdit(frame_DateTime);
    text_Minute->setObjectName(QStringLiteral("text_Minute"));
    for (auto [box, left] : {std::pair{text_Hour, 390}, std::pair{text_Minute, 855}}) {
        box->setMaxLength(2);
        box->setValidator(digits);
        box->setGeometry(toPixels(left), toPixels(2910), toPixels(400), toPixels(300));
    }
    connect(text_Hour, &QLineEdit::textChanged, this, &form_Calendar::text_Hour_Change);
    connect(text_Minute, &QLineEdit::textChanged, this, &form_Calendar::text_Minute_Change);
}

void form_Calendar::colourDay(int index, bool picked)
{
    QPalette pal = label_Number[size_t(index)]->palette();
    pal.setColor(QPalette::Window, picked ? Picked : Unpicked);
    label_Number[size_t(index)]->setPalette(pal);
}

int form_Calendar::pickedDay() const
{
    int day = 0;
    for (int i = 0; i < 31; ++i) {
        if (label_Number[size_t(i)]->palette().color(QPalette::Window) == Picked)
            day = i + 1;
    }
    return day;
}

void form_Calendar::FillDateLists()
{
    for (int year = 1990; year <= 2060; ++year)
        combo_Year->addItem(QString::number(year));
    for (int month = 1; month <= 12; ++month)
        combo_Month->addItem(QLocale(QLocale::English).monthName(month));
    // Each list is as wide as its longest entry needs in the desktop's font ("September" does not fit the design's
    // width in DejaVu Sans). The year list gives up to the month list what it grew, keeping its right edge.
    const QRect month = combo_Month->geometry();
    combo_Month->resize(std::max(month.width(), combo_Month->sizeHint().width()), month.height());
    combo_Year->setGeometry(combo_Year->geometry().adjusted(combo_Month->width() - month.width(), 0, 0, 0));
    combo_Year->resize(std::max(combo_Year->width(), combo_Year->sizeHint().width()), combo_Year->height());
}

int form_Calendar::DaysInMonth(int monthIndex)
{
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return monthIndex >= 0 && monthIndex < 12 ? days[monthIndex] : 0;
}

QString form_Calendar::WeekdayText(const QDate &date)
{
    static const QString texts[] = {QStringLiteral("On Sunday "),  QStringLiteral("On Monday "),
                                    QStringLiteral("On Tuesday "), QStringLiteral("On Wednesday"),
                                    QStringLiteral("On Thursday"), QStringLiteral("On Friday"),
                                    QStringLiteral("On Saturday")};
    return date.isValid() ? texts[date.dayOfWeek() % 7] : QString();
}

QString form_Calendar::dateText(const QDate &date)
{
    // Stored with the note and sent with it to other computers: the same in every desktop language.
    return QStringLiteral("%1-%2-%3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(QLocale(QLocale::English, QLocale::UnitedStates).monthName(date.month(), QLocale::ShortFormat))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

void form_Calendar::DisplayTheSelectedDate()
{
    const QDate date(combo_Year->currentText().toInt(), combo_Month->currentIndex() + 1, pickedDay());
    label_Date->setText(date.isValid() ? dateText(date) : QString());
    label_Day->setText(WeekdayText(date));
}

void form_Calendar::Form_Load()
{
    centreOnScreen(this);
    FillDateLists();
    const QDateTime now = platform::Clock::now();
    combo_Year->setCurrentText(QString::number(now.date().year()));
    colourDay(now.date().day() - 1, true);
    combo_Month->setCurrentIndex(now.date().month() - 1);
    combo_Month_Click();
    text_Hour->setText(QString::number(now.time().hour()));
    text_Minute->setText(QStringLiteral("%1").arg(now.time().minute(), 2, 10, QLatin1Char('0')));
    option_Repeat[0]->setChecked(true);
    DisplayTheSelectedDate();
    show();
}

void form_Calendar::label_Number_Click(int index)
{
    for (int i = 0; i < 31; ++i)
        colourDay(i, false);
    colourDay(index, true);
    DisplayTheSelectedDate();
}

void form_Calendar::combo_Month_Click()
{
    const int days = DaysInMonth(combo_Month->currentIndex());
    const int selected = pickedDay();
    if (selected > days) {
        colourDay(0, true);
        colourDay(selected - 1, false);
    }
    for (int d = 28; d <= 31; ++d)
        label_Number[size_t(d - 1)]->setVisible(d <= days);
    DisplayTheSelectedDate();
}

void form_Calendar::combo_Year_Click()
{
    DisplayTheSelectedDate();
}

void form_Calendar::text_Hour_Change()
{
    if (leadingNumber(text_Hour->text()) > 23)
        text_Hour->setText(QStringLiteral("23"));
    label_Hour->setText(text_Hour->text());
}

void form_Calendar::text_Minute_Change()
{
    if (leadingNumber(text_Minute->text()) > 59)
        text_Minute->setText(QStringLiteral("59"));
    label_Minute->setText(text_Minute->text());
}

void form_Calendar::c_Ok_Click()
{
    NoteRecord *note = NoteStore().record(m_noteIndex);
    if (note && !label_Date->text().isEmpty()) {
        NoteRecord &r = *note;
        r.alarmDate = label_Date->text();
        // An emptied box means the full hour or midnight rather than a time no one can read.
        const QString hour = label_Hour->text().isEmpty() ? QStringLiteral("0") : label_Hour->text();
        const QString minute = label_Minute->text().isEmpty() ? QStringLiteral("0") : label_Minute->text();
        r.alarmTime = hour + u':' + minute;
        for (int k = 0; k < 5; ++k) {
            if (option_Repeat[size_t(k)]->isChecked())
                r.alarmRepeat = QString::number(k);
        }
        ShowAlarmIcons(m_noteIndex);
        SaveAllNotes();
    }
    close();
}

void form_Calendar::c_Cancel_Click()
{
    close();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/form_Calculator.h"

#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "core/Twips.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/WindowFlags.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int Choices = 6;
constexpr int DefaultFont = 3; // "Modern"
constexpr int DefaultSize = 2; // 10 points

int choiceOr(int stored, int fallback)
{
    return stored >= 0 && stored < Choices ? stored : fallback;
}

} // namespace

const std::array<std::pair<QString, QFont::StyleHint>, 6> &form_Calculator::FontFaces()
{
    // The menu's names are the calculator's own: only "Times" is a family a Linux desktop knows (fontconfig gives
    // it a metric twin such as Liberation Serif), and "Script", "Roman", "Modern", "San Serif" and "Lucida Console"
    // would all fall back to one default face. Each asks for a family of its kind instead, and the hint leads Qt's
    // own substitution the same way where that family is missing.
    static const std::array<std::pair<QString, QFont::StyleHint>, 6> faces{{{u"Times"_s, QFont::Times},
                                                                            {u"cursive"_s, QFont::Cursive},
                                                                            {u"serif"_s, QFont::Serif},
                                                                            {u"monospace"_s, QFont::Monospace},
                                                                            {u"sans-serif"_s, QFont::SansSerif},
                                                                            {u"Liberation Mono"_s, QFont::Monospace}}};
    return faces;
}

form_Calculator::form_Calculator(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(u"form_Calculator"_s);
    setWindowTitle(u"Calculator"_s);
    setWindowIcon(platform::suiteIcon(QStringLiteral("calculator")));
    resize(260, 330);

    m_menuBar = new QMenuBar(this);
    QMenu *menu_VERKTYG = m_menuBar->addMenu(u"&Edit"_s);
    menu_VERKTYG->setObjectName(u"menu_VERKTYG"_s);
    QMenu *menu_TECKENSNITT = menu_VERKTYG->addMenu(u"&Font"_s);
    menu_TECKENSNITT->setObjectName(u"menu_TECKENSNITT"_s);
    QMenu *menu_TYP = menu_TECKENSNITT->addMenu(u"&Type"_s);
    menu_TYP->setObjectName(u"menu_TYP"_s);
    QMenu *menu_STORLEK = menu_TECKENSNITT->addMenu(u"&Size"_s);
    menu_STORLEK->setObjectName(u"menu_STORLEK"_s);
    const std::array<QString, 6> fontCaptions{u"Times"_s,  u"Script"_s,     u"Roman"_s,
                                              u"Modern"_s, u"Sans serif"_s, u"Lucida Console"_s};
    for (int i = 0; i < Choices; ++i) {
        QAction *font = menu_TYP->addAction(fontCaptions[size_t(i)]);
        font->setObjectName(u"menu_Font"_s + QString::number(i));
        font->setCheckable(true);
        connect(font, &QAction::triggered, this, [this, i] { menu_Font_Click(i); });
        menu_Font[size_t(i)] = font;
        QAction *size = menu_STORLEK->addAction(QString::number(i + 8));
        size->setObjectName(u"menu_Size"_s + QString::number(i));
        size->setCheckable(true);
        connect(size, &QAction::triggered, this, [this, i] { menu_Size_Click(i); });
        menu_Size[size_t(i)] = size;
    }
    menu_Empty = menu_VERKTYG->addAction(u"C&lear"_s);
    menu_Empty->setObjectName(u"menu_Empty"_s);
    connect(menu_Empty, &QAction::triggered, this, &form_Calculator::menu_Empty_Click);
    menu_OnTop = menu_VERKTYG->addAction(u"&Always on top"_s);
    menu_OnTop->setObjectName(u"menu_OnTop"_s);
    menu_OnTop->setCheckable(true);
    // The handler decides the check mark itself, from the state before the click.
    connect(menu_OnTop, &QAction::triggered, this, &form_Calculator::menu_OnTop_Click);

    m_client = new QWidget(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_client);

    text_Input = new QPlainTextEdit(m_client);
    text_Input->setObjectName(u"text_Input"_s);
    text_Input->setTabChangesFocus(true);
    text_Input->installEventFilter(this);
    list_Output = new QListWidget(m_client);
    list_Output->setObjectName(u"list_Output"_s);
    list_Output->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_Output, &QListWidget::itemClicked, this, &form_Calculator::list_Output_Click);
    connect(list_Output, &QListWidget::itemActivated, this, &form_Calculator::list_Output_Click);
    m_client->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(u"Timer1"_s);
    Timer1->setInterval(750);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &form_Calculator::Timer1_Timer);
}

void form_Calculator::Form_Load()
{
    centreOnScreen(this);
    // A stored choice outside the menus (a hand-edited file) falls back to the first-start choice.
    SettingsRecord &settings = Settings();
    menu_Size_Click(choiceOr(settings.CalcSize, DefaultSize));
    menu_Font_Click(choiceOr(settings.CalcFont, DefaultFont));
    m_onTop = settings.CalcOnTop;
    menu_OnTop->setChecked(m_onTop);
    platform::setAlwaysOnTop(this, m_onTop);
    text_Input->setFocus();
}

void form_Calculator::Form_Resize()
{
    // The input takes the top fifth and the tape the rest; both reach a little past the right edge so that their
    // right borders are out of sight.
    const double w = m_client->width();
    const double h = m_client->height();
    text_Input->setGeometry(0, int(0.007 * h), int(1.006 * w), int(0.197 * h));
    list_Output->setGeometry(0, int(0.204 * h), int(1.006 * w), int(0.796 * h));
}

bool form_Calculator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == text_Input && event->type() == QEvent::KeyPress) {
        if (text_Input_KeyPress(static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool form_Calculator::text_Input_KeyPress(const QKeyEvent *key)
{
    // A comma is the decimal point, whatever the desktop's language.
    if (key->text() == u",") {
        text_Input->insertPlainText(u"."_s);
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    const QString line = text_Input->toPlainText();
    double value = 0;
    if (!m_evaluator.evaluate(line, value)) {
        if (const std::optional<EvalFault> &fault = m_evaluator.fault())
            logError(fault->tag, fault->kind);
        platform::showMessage(m_evaluator.message(), u"Info"_s, platform::MsgIcon::Information);
        // Enter stands for a Backspace, which takes the character left of the caret once the box is answered.
        text_Input->textCursor().deletePreviousChar();
        return true;
    }
    list_Output->addItem(line);
    list_Output->addItem(u"= "_s + ResultText(value));
    list_Output->addItem(QString::fromLatin1(Separator));
    list_Output->setCurrentRow(list_Output->count() - 2);
    list_Output->scrollToBottom();
    Timer1->start();
    text_Input->clear();
    return true;
}

void form_Calculator::Timer1_Timer()
{
    Timer1->stop();
    // The result's mark goes, unless the user has gone to the tape meanwhile: the current row is then where their
    // keys are, and taking it away would send the next Down to the first row.
    if (list_Output->hasFocus())
        return;
    list_Output->setCurrentRow(-1);
    list_Output->clearSelection();
}

void form_Calculator::list_Output_Click()
{
    const QListWidgetItem *item = list_Output->currentItem();
    if (!item)
        return;
    const QString line = item->text();
    text_Input->setPlainText(line.startsWith(u'=') ? line.mid(2) : line);
    // Ready to go on typing after the taken line.
    text_Input->moveCursor(QTextCursor::End);
    text_Input->setFocus();
}

void form_Calculator::menu_Empty_Click()
{
    list_Output->clear();
    text_Input->clear();
}

void form_Calculator::menu_Font_Click(int Index)
{
    if (Index < 0 || Index >= Choices)
        return;
    for (QAction *item : menu_Font)
        item->setChecked(false);
    m_fontIndex = Index;
    applyFont();
    menu_Font[size_t(Index)]->setChecked(true);
    Settings().CalcFont = Index;
    saveSettings();
}

void form_Calculator::menu_Size_Click(int Index)
{
    if (Index < 0 || Index >= Choices)
        return;
    for (QAction *item : menu_Size)
        item->setChecked(false);
    m_pointSize = Index + 8;
    applyFont();
    menu_Size[size_t(Index)]->setChecked(true);
    Settings().CalcSize = Index;
    saveSettings();
}

void form_Calculator::applyFont()
{
    QFont font = text_Input->font();
    if (m_fontIndex >= 0) {
        const auto &[family, hint] = FontFaces()[size_t(m_fontIndex)];
        font.setFamily(family);
        font.setStyleHint(hint);
    }
    font.setPointSize(m_pointSize);
    text_Input->setFont(font);
    list_Output->setFont(font);
}

void form_Calculator::menu_OnTop_Click()
{
    m_onTop = !m_onTop;
    platform::setAlwaysOnTop(this, m_onTop);
    menu_OnTop->setChecked(m_onTop);
    Settings().CalcOnTop = m_onTop;
    saveSettings();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calculator/Evaluator.h"

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <array>
#include <utility>

class QAction;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

// The paper-tape calculator: a line is typed at the top, Enter evaluates it, and the line, its result and a
// separator go onto the tape below. Earlier lines and results can be clicked back into the input.
class form_Calculator : public QWidget {
    Q_OBJECT
public:
    explicit form_Calculator(QWidget *parent = nullptr);

    void Form_Load();
    void Form_Resize();
    // KeyAscii is the typed character; the handler may change it, and the box then applies what it holds
    // (0: nothing, 8: the Backspace that takes away the character left of the caret).
    void text_Input_KeyPress(int &KeyAscii);
    void list_Output_Click();
    void menu_Empty_Click();
    void menu_Font_Click(int Index);
    void menu_Size_Click(int Index);
    void menu_OnTop_Click();
    void Timer1_Timer();

    // The family and the kind of face each choice of the "&Type" menu draws with.
    static const std::array<std::pair<QString, QFont::StyleHint>, 6> &FontFaces();
    static constexpr const char *Separator = "---------------------";

    QPlainTextEdit *text_Input;
    QListWidget *list_Output;
    QTimer Timer1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyFont();

    QMenuBar *m_menuBar;
    QWidget *m_client;
    std::array<QAction *, 6> menu_Font{};
    std::array<QAction *, 6> menu_Size{};
    QAction *menu_Empty;
    QAction *menu_OnTop;
    bool m_onTop = false;
    int m_fontIndex = -1;
    int m_pointSize = 10;
    Evaluator m_evaluator;
};

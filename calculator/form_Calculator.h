// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calculator/Evaluator.h"

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <array>
#include <utility>

class QAction;
class QKeyEvent;
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

    // Takes the stored choices of font, size and on-top, centres the window and gives the input the keyboard.
    void Form_Load();

    // The family and the kind of face each choice of the "&Type" menu draws with.
    static const std::array<std::pair<QString, QFont::StyleHint>, 6> &FontFaces();
    static constexpr const char *Separator = "---------------------";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Resize();
    // A key for the input box: Enter evaluates the line and a comma types the decimal point. True when it was
    // taken; every other key the box handles as usual.
    bool text_Input_KeyPress(const QKeyEvent *key);
    void list_Output_Click();
    void menu_Empty_Click();
    void menu_Font_Click(int Index);
    void menu_Size_Click(int Index);
    void menu_OnTop_Click();
    void Timer1_Timer();
    void applyFont();

    QPlainTextEdit *text_Input;
    QListWidget *list_Output;
    QTimer *Timer1;

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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgramHost.h"

#include <QWidget>

class ClickableLabel;
class QAction;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;

// The control panel, "Control center": the first window of the process, from which it starts and ends (the suite in
// app/ runs both). It chooses which programs start automatically, switches sounds and holds the sender's name.
class form_Tarnibe : public QWidget {
    Q_OBJECT
public:
    // Why the window is about to close; the number ends the "Ending windows session:" log line.
    enum UnloadMode { FormControlMenu = 0, FormCode = 1, AppWindows = 2, AppTaskManager = 3 };

    explicit form_Tarnibe(ProgramHost &host, QWidget *parent = nullptr);
    ~form_Tarnibe() override;

    // The start sequence, run by the suite.
    void Form_Load();
    // The controls are made the first time the panel shows: most starts never show it, and a start that does not
    // make them loads no fonts, styles or menus before the tray icons are up.
    void ensureWindow();
    void setVisible(bool visible) override;
    // The name outgoing notes carry: the sender name field, else the computer's name.
    QString senderName() const;

    void check_StartNotes_Click();
    void check_StartClock_Click();
    void check_StartCalc_Click();
    void check_StartEmail_Click();
    // Writes or removes the desktop's autostart entry for the suite.
    void check_StartAtLogin_Click();
    void image_Note_Click();
    void image_Calc_Click();
    void image_Clock_Click();
    void image_Email_Click();
    void c_Ok_Click();
    void c_NetUsers_Click();
    void check_AcceptNotes_Click();
    void menu_Sound_Click();
    void menu_TarnibeHelp_Click();
    void menu_About_Click();
    // The exit sequence, run by the suite: saves everything, logs "END" and ends the process.
    void menu_Exit_Click();
    void Form_QueryUnload(int unloadMode);
    void showControlPanel();
    // Where no tray runs: the panel stays open as the way into the suite, says so, shows each program's state on
    // its picture, and the other windows open beside it.
    void becomeHome();

    // For the suite's start and end. The settings have been read: the controls show them and the panel is centred.
    void settingsRead();
    // What the fields hold now goes into the settings before the last write.
    void storeFields();
    // Closes the panel for good as the process ends; `unloadMode` says why.
    void closeForEnd(UnloadMode unloadMode);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildWindow();
    QMenuBar *buildMenus();
    QGroupBox *buildStartBox();
    QGridLayout *buildImages();
    QGroupBox *buildNetworkBox();
    void startBoxClicked(QCheckBox *box, int &startFlag);
    void startProgram(Program program);
    void showSettings();
    void clearImageBorders();
    // Where no tray host runs, a running program's picture gets the clicks its tray icon would have had.
    bool clickInsteadOfTray(Program program, platform::TrayClick click);
    void imageRightClick(Program program);
    // Ok and the title bar's close put the panel away: hidden beside a tray, minimised without one.
    void putAway();
    // The picture of the program whose tray icon `owner` is shows that icon, or its own where it has none.
    void showTrayIcon(const void *owner);
    ClickableLabel *picture(Program program) const;

    ProgramHost &m_host;
    int m_unloadMode = FormControlMenu;
    bool m_closingForEnd = false;
    bool m_built = false;

    QCheckBox *check_StartNotes = nullptr;
    QCheckBox *check_StartClock = nullptr;
    QCheckBox *check_StartCalc = nullptr;
    QCheckBox *check_StartEmail = nullptr;
    QCheckBox *check_StartAtLogin = nullptr;
    ClickableLabel *image_Note = nullptr;
    ClickableLabel *image_Clock = nullptr;
    ClickableLabel *image_Calc = nullptr;
    ClickableLabel *image_Email = nullptr;
    QCheckBox *check_AcceptNotes = nullptr;
    QLineEdit *text_Name = nullptr;
    QPushButton *c_NetUsers = nullptr;
    QPushButton *c_Ok = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *label_NoTray = nullptr;
    QAction *menu_Sound = nullptr;
};

// The window height in pixels: 4665 twips at 15 twips a pixel.
inline constexpr int ControlPanelHeight = 4665 / 15;

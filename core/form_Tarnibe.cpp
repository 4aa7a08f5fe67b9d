// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/form_Tarnibe.h"

#include "core/ClickableLabel.h"
#include "core/ErrorLog.h"
#include "core/Named.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "core/TrayIcon.h"
#include "core/Twips.h"
#include "platform/Autostart.h"
#include "platform/Icons.h"
#include "platform/MessageBox.h"
#include "platform/Tray.h"
#include "platform/WindowFlags.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolTip>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

form_Tarnibe::form_Tarnibe(ProgramHost &host, QWidget *parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("form_Tarnibe"));
    setWindowTitle(QStringLiteral("Control center"));
    setWindowIcon(platform::suiteIcon(QStringLiteral("tarnibe")));
    // The size is known before the controls are made, so that the start can centre the panel.
    setFixedHeight(ControlPanelHeight);
    resize(600, ControlPanelHeight);
}

void form_Tarnibe::ensureWindow()
{
    if (m_built)
        return;
    m_built = true;
    buildWindow();
    showSettings();
}

void form_Tarnibe::setVisible(bool visible)
{
    if (visible)
        ensureWindow();
    QWidget::setVisible(visible);
}

QMenuBar *form_Tarnibe::buildMenus()
{
    auto *menuBar = named(new QMenuBar(this), "menuBar");
    QMenu *file = named(menuBar->addMenu(QStringLiteral("&File")), "menu_File");
    connect(menuItem(file, "menu_Exit", QStringLiteral("&Exit Tarnibe")), &QAction::triggered, this,
            &form_Tarnibe::menu_Exit_Click);
    QMenu *properties = named(menuBar->addMenu(QStringLiteral("&Properties")), "menu_Properties");
    menu_Sound = menuItem(properties, "menu_Sound", QStringLiteral("&Sound on"));
    menu_Sound->setCheckable(true);
    connect(menu_Sound, &QAction::triggered, this, &form_Tarnibe::menu_Sound_Click);
    QMenu *help = named(menuBar->addMenu(QStringLiteral("&Help")), "menu_Help");
    connect(menuItem(help, "menu_TarnibeHelp", QStringLiteral("Tarnibe &help")), &QAction::triggered, this,
            &form_Tarnibe::menu_TarnibeHelp_Click);
    help->addSeparator();
    connect(menuItem(help, "menu_About", QStringLiteral("&Tarnibe...")), &QAction::triggered, this,
            &form_Tarnibe::menu_About_Click);
    return menuBar;
}

// Start automatically: a box per program.
QGroupBox *form_Tarnibe::buildStartBox()
{
    auto *frameStart = named(new QGroupBox(QStringLiteral("Start automatically")), "frame_Start");
    auto *startLayout = new QGridLayout(frameStart);
    check_StartNotes = named(new QCheckBox(QStringLiteral("Notes")), "check_StartNotes");
    check_StartClock = named(new QCheckBox(QStringLiteral("Atomic time")), "check_StartClock");
    check_StartCalc = named(new QCheckBox(QStringLiteral("Calculator")), "check_StartCalc");
    check_StartEmail = named(new QCheckBox(QStringLiteral("Email check")), "check_StartEmail");
    // Two by two, so that the box for the whole suite fits under them within the panel's fixed height.
    startLayout->addWidget(check_StartNotes, 0, 0);
    startLayout->addWidget(check_StartClock, 0, 1);
    startLayout->addWidget(check_StartCalc, 1, 0);
    startLayout->addWidget(check_StartEmail, 1, 1);
    // Which programs start is the suite's own choice; whether the suite starts at all belongs to the session, so a
    // line sets it apart.
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    startLayout->addWidget(line, 2, 0, 1, 2);
    check_StartAtLogin = named(new QCheckBox(QStringLiteral("Start Tarnibe when I log in")), "check_StartAtLogin");
    startLayout->addWidget(check_StartAtLogin, 3, 0, 1, 2);
    connect(check_StartAtLogin, &QCheckBox::toggled, this, &form_Tarnibe::check_StartAtLogin_Click);
    connect(check_StartNotes, &QCheckBox::toggled, this, &form_Tarnibe::check_StartNotes_Click);
    connect(check_StartClock, &QCheckBox::toggled, this, &form_Tarnibe::check_StartClock_Click);
    connect(check_StartCalc, &QCheckBox::toggled, this, &form_Tarnibe::check_StartCalc_Click);
    connect(check_StartEmail, &QCheckBox::toggled, this, &form_Tarnibe::check_StartEmail_Click);
    return frameStart;
}

QGridLayout *form_Tarnibe::buildImages()
{
    // The programs' pictures: a click starts that program now, a right click opens a running program's menu. Where
    // no tray host runs a click on a running program's picture is a click on its tray icon.
    auto *images = new QGridLayout;
    const auto addImage = [&](int column, const char *imageName, const char *labelName, const QString &icon,
                              const QString &caption, Program program, void (form_Tarnibe::*click)()) {
        auto *image = named(new ClickableLabel, imageName);
        image->setPixmap(platform::suiteIcon(icon).pixmap(40, 40));
        image->setAlignment(Qt::AlignCenter);
        image->setFixedSize(48, 48);
        image->setLineWidth(1);
        image->setCursor(Qt::PointingHandCursor);
        image->setToolTip(caption);
        connect(image, &ClickableLabel::pressed, image, [image] { image->setFrameShape(QFrame::Box); });
        connect(image, &ClickableLabel::released, image, [image] { image->setFrameShape(QFrame::NoFrame); });
        connect(image, &ClickableLabel::clicked, this, click);
        image->installEventFilter(this);
        image->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(image, &QWidget::customContextMenuRequested, this, [this, program] { imageRightClick(program); });
        auto *label = named(new ClickableLabel(caption), labelName);
        label->setAlignment(Qt::AlignCenter);
        label->setMouseTracking(true);
        connect(label, &ClickableLabel::mouseMoved, this, &form_Tarnibe::clearImageBorders);
        images->addWidget(image, 0, column, Qt::AlignCenter);
        images->addWidget(label, 1, column, Qt::AlignCenter);
        return image;
    };
    image_Note = addImage(0, "image_Note", "label_Note", QStringLiteral("notes"), QStringLiteral("Notes"),
                          Program::Notes, &form_Tarnibe::image_Note_Click);
    image_Clock = addImage(1, "image_Clock", "label_Clock", QStringLiteral("clock"), QStringLiteral("Atomic time"),
                           Program::Clock, &form_Tarnibe::image_Clock_Click);
    image_Calc = addImage(2, "image_Calc", "label_Calc", QStringLiteral("calculator"), QStringLiteral("Calculator"),
                          Program::Calculator, &form_Tarnibe::image_Calc_Click);
    image_Email = addImage(3, "image_Email", "label_Email", QStringLiteral("mail"), QStringLiteral("Email check"),
                           Program::Email, &form_Tarnibe::image_Email_Click);
    return images;
}

QGroupBox *form_Tarnibe::buildNetworkBox()
{
    auto *frameNetwork = named(new QGroupBox(QStringLiteral("Network")), "frame_Network");
    auto *networkLayout = new QVBoxLayout(frameNetwork);
    check_AcceptNotes = named(new QCheckBox(QStringLiteral("I accept receiving notes.")), "check_AcceptNotes");
    connect(check_AcceptNotes, &QCheckBox::toggled, this, &form_Tarnibe::check_AcceptNotes_Click);
    auto *nameLabel =
        named(new QLabel(QStringLiteral("Your name. (So others can see who they receive a note from)")), "label_Name");
    nameLabel->setWordWrap(true);
    text_Name = named(new QLineEdit, "text_Name");
    text_Name->setMaxLength(100);
    connect(text_Name, &QLineEdit::editingFinished, this, [this] {
        if (Settings().NoteSender != text_Name->text()) {
            Settings().NoteSender = text_Name->text();
            saveSettings();
        }
    });
    c_NetUsers = named(new QPushButton(QStringLiteral("List over net users-->")), "c_NetUsers");
    connect(c_NetUsers, &QPushButton::clicked, this, &form_Tarnibe::c_NetUsers_Click);
    networkLayout->addWidget(check_AcceptNotes);
    networkLayout->addWidget(nameLabel);
    networkLayout->addWidget(text_Name);
    networkLayout->addWidget(c_NetUsers, 0, Qt::AlignLeft);
    return frameNetwork;
}

void form_Tarnibe::buildWindow()
{
    c_Ok = named(new QPushButton(QStringLiteral("Ok")), "c_Ok");
    c_Ok->setDefault(true);
    connect(c_Ok, &QPushButton::clicked, this, &form_Tarnibe::c_Ok_Click);
    Text1 = named(new QLineEdit, "Text1");
    Text1->setReadOnly(true);
    Text1->setFrame(false);
    Text1->setText(TraceText());
    connect(&traceLine(), &TraceLine::changed, Text1, &QLineEdit::setText);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Text1, 1);
    bottom->addWidget(c_Ok);

    // The start boxes beside the pictures keep everything within the panel's fixed height.
    auto *top = new QHBoxLayout;
    top->addWidget(buildStartBox());
    top->addLayout(buildImages(), 1);

    label_NoTray = named(
        new QLabel(QStringLiteral("No system tray was found, so the Control center stays open instead: click a "
                                  "picture to use its program, right-click it for the program's menu. On GNOME the "
                                  "extension \"AppIndicator and KStatusNotifierItem Support\" gives the desktop a "
                                  "tray.")),
        "label_NoTray");
    label_NoTray->setWordWrap(true);
    label_NoTray->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(buildMenus());
    layout->addLayout(top);
    layout->addWidget(label_NoTray);
    layout->addWidget(buildNetworkBox());
    layout->addStretch(1);
    layout->addLayout(bottom);
    layout->setSpacing(6);
}

void form_Tarnibe::Form_Load()
{
    m_host.start();
}

void form_Tarnibe::settingsRead()
{
    if (m_built)
        showSettings();
    centreOnScreen(this);
}

void form_Tarnibe::showSettings()
{
    // Filling the controls must not run their handlers: the network is set up only at the end of the start.
    const SettingsRecord &s = Settings();
    for (auto [box, flag] : {std::pair{check_StartNotes, s.StartNotes}, std::pair{check_StartClock, s.StartClock},
                             std::pair{check_StartCalc, s.StartCalc}, std::pair{check_StartEmail, s.StartEmail}}) {
        const QSignalBlocker blocker(box);
        box->setChecked(flag == 1);
    }
    menu_Sound->setChecked(s.PlaySound);
    text_Name->setText(s.NoteSender);
    const QSignalBlocker blocker(check_AcceptNotes);
    check_AcceptNotes->setChecked(s.AcceptNotes);
    const QSignalBlocker loginBlocker(check_StartAtLogin);
    check_StartAtLogin->setChecked(platform::autostartEnabled());
}

void form_Tarnibe::check_StartAtLogin_Click()
{
    QString error;
    if (platform::setAutostart(check_StartAtLogin->isChecked(), QCoreApplication::applicationFilePath(), &error))
        return;
    logError(u"err_tb_check_StartAtLogin_Click " + error);
    platform::showMessage(u"Could not change starting at login: "_s + error, QStringLiteral("Info"),
                          platform::MsgIcon::Information);
    const QSignalBlocker blocker(check_StartAtLogin);
    check_StartAtLogin->setChecked(platform::autostartEnabled());
}

void form_Tarnibe::startBoxClicked(QCheckBox *box, int &startFlag)
{
    startFlag = box->isChecked() ? 1 : 0;
    const bool noneTicked = !check_StartNotes->isChecked() && !check_StartClock->isChecked() &&
                            !check_StartCalc->isChecked() && !check_StartEmail->isChecked();
    if (noneTicked) {
        platform::showMessage(QStringLiteral("You always have to start at least one Tarnibe program !"),
                              QStringLiteral("Info"), platform::MsgIcon::Information);
        box->setChecked(true); // runs this handler again, which sets the flag back to 1
    }
}

void form_Tarnibe::check_StartNotes_Click()
{
    startBoxClicked(check_StartNotes, Settings().StartNotes);
}

void form_Tarnibe::check_StartClock_Click()
{
    startBoxClicked(check_StartClock, Settings().StartClock);
}

void form_Tarnibe::check_StartCalc_Click()
{
    startBoxClicked(check_StartCalc, Settings().StartCalc);
}

void form_Tarnibe::check_StartEmail_Click()
{
    startBoxClicked(check_StartEmail, Settings().StartEmail);
}

void form_Tarnibe::startProgram(Program program)
{
    m_host.startProgram(program);
    ProgramRunFlags().of(program) = true;
}

void form_Tarnibe::image_Note_Click()
{
    if (clickInsteadOfTray(Program::Notes, platform::TrayClick::Left))
        return;
    startProgram(Program::Notes);
}

void form_Tarnibe::image_Calc_Click()
{
    if (clickInsteadOfTray(Program::Calculator, platform::TrayClick::Left))
        return;
    startProgram(Program::Calculator);
}

void form_Tarnibe::image_Clock_Click()
{
    if (clickInsteadOfTray(Program::Clock, platform::TrayClick::Left))
        return;
    startProgram(Program::Clock);
    m_host.loadClockWindow();
    m_host.startClockSync();
}

void form_Tarnibe::image_Email_Click()
{
    if (clickInsteadOfTray(Program::Email, platform::TrayClick::Left))
        return;
    startProgram(Program::Email);
}

bool form_Tarnibe::clickInsteadOfTray(Program program, platform::TrayClick click)
{
    if (platform::trayHost().available() || !ProgramRunFlags().of(program))
        return false;
    m_host.trayClick(program, click);
    return true;
}

void form_Tarnibe::imageRightClick(Program program)
{
    // A running program's menu, tray or not: the panel is where a user looks for it when the icon is hard to find.
    if (ProgramRunFlags().of(program))
        m_host.trayClick(program, platform::TrayClick::Right);
}

void form_Tarnibe::becomeHome()
{
    ensureWindow();
    setHomeWindow(this);
    // The pictures' tips are the programs' state: shown while another window is the active one too.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    label_NoTray->show();
    setFixedHeight(ControlPanelHeight + label_NoTray->heightForWidth(width() - 20) + 6);
    SetTrace(QStringLiteral("No system tray: the Control center stays open"));
    connect(&trayIcons(), &TrayIcons::changed, this, &form_Tarnibe::showTrayIcon, Qt::UniqueConnection);
    for (Program program : {Program::Notes, Program::Clock, Program::Calculator, Program::Email})
        showTrayIcon(m_host.trayOwnerOf(program));
    show();
}

ClickableLabel *form_Tarnibe::picture(Program program) const
{
    switch (program) {
    case Program::Notes:
        return image_Note;
    case Program::Clock:
        return image_Clock;
    case Program::Calculator:
        return image_Calc;
    case Program::Email:
        return image_Email;
    }
    return nullptr;
}

void form_Tarnibe::showTrayIcon(const void *owner)
{
    static const std::pair<Program, const char *> icons[] = {{Program::Notes, "notes"},
                                                             {Program::Clock, "clock"},
                                                             {Program::Calculator, "calculator"},
                                                             {Program::Email, "mail"}};
    for (const auto &[program, icon] : icons) {
        if (!owner || m_host.trayOwnerOf(program) != owner)
            continue;
        const std::optional<TrayIcons::Shown> shown = trayIcons().of(owner);
        const QIcon drawn = shown ? shown->icon : platform::suiteIcon(QString::fromLatin1(icon));
        picture(program)->setPixmap(drawn.pixmap(40, 40));
    }
}

bool form_Tarnibe::eventFilter(QObject *watched, QEvent *event)
{
    // Where no tray runs, a picture's tip tells what the tray icon's would.
    if (event->type() == QEvent::ToolTip && homeWindow() == this) {
        for (Program program : {Program::Notes, Program::Clock, Program::Calculator, Program::Email}) {
            ClickableLabel *image = picture(program);
            if (watched != image)
                continue;
            const QString status = ProgramRunFlags().of(program) ? m_host.programStatus(program) : QString();
            const QString tip = status.isEmpty() ? image->toolTip() : image->toolTip() + u'\n' + status;
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), tip, image);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void form_Tarnibe::putAway()
{
    // Without a tray the panel is the only way back into the suite: it goes to the task bar instead.
    if (platform::trayHost().available())
        hide();
    else
        showMinimized();
}

void form_Tarnibe::clearImageBorders()
{
    for (ClickableLabel *image : {image_Note, image_Clock, image_Calc, image_Email})
        image->setFrameShape(QFrame::NoFrame);
}

void form_Tarnibe::c_Ok_Click()
{
    Settings().cntControlPanel += 1;
    Settings().totControl += 1;
    saveSettings();
    putAway();
}

form_Tarnibe::~form_Tarnibe() = default;

QString form_Tarnibe::senderName() const
{
    const QString field = m_built ? text_Name->text() : Settings().NoteSender;
    return field.isEmpty() ? Settings().ComputerName : field;
}

void form_Tarnibe::c_NetUsers_Click()
{
    m_host.openNetUsers();
}

void form_Tarnibe::check_AcceptNotes_Click()
{
    Settings().AcceptNotes = check_AcceptNotes->isChecked();
    m_host.setAcceptNotes(Settings().AcceptNotes);
    saveSettings();
}

void form_Tarnibe::menu_Sound_Click()
{
    // Only in memory; the next write of the settings stores it.
    Settings().PlaySound = !Settings().PlaySound;
    if (m_built)
        menu_Sound->setChecked(Settings().PlaySound);
}

void form_Tarnibe::menu_TarnibeHelp_Click()
{
    m_host.openHelp(QStringLiteral("control.html"));
}

void form_Tarnibe::menu_About_Click()
{
    platform::showMessage(QStringLiteral("Tarnibe ver 2.0.0"), QStringLiteral("version"),
                          platform::MsgIcon::Information);
}

void form_Tarnibe::menu_Exit_Click()
{
    m_host.exit();
}

void form_Tarnibe::storeFields()
{
    if (!m_built)
        return;
    Settings().NoteSender = text_Name->text();
    Settings().AcceptNotes = check_AcceptNotes->isChecked();
}

void form_Tarnibe::closeForEnd(UnloadMode unloadMode)
{
    m_closingForEnd = true;
    m_unloadMode = unloadMode;
    close();
}

void form_Tarnibe::Form_QueryUnload(int unloadMode)
{
    m_host.unload(unloadMode);
}

void form_Tarnibe::closeEvent(QCloseEvent *event)
{
    if (!m_closingForEnd) {
        // Closing the panel from its title bar only puts it away, like "Ok": the programs go on in the tray.
        event->ignore();
        putAway();
        return;
    }
    Form_QueryUnload(m_unloadMode);
    event->accept();
}

void form_Tarnibe::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (height() != ControlPanelHeight)
        resize(width(), ControlPanelHeight);
}

void form_Tarnibe::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && platform::trayHost().available())
        platform::whenMinimisedStays(this, [this] {
            hide();
            setWindowState(windowState() & ~Qt::WindowMinimized);
        });
}

void form_Tarnibe::showControlPanel()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

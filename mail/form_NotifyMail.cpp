// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/form_NotifyMail.h"

#include "core/AutodialFlags.h"
#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "core/SettingsCodec.h"
#include "core/Sound.h"
#include "core/Twips.h"
#include "mail/DialupRules.h"
#include "mail/MailIcons.h"
#include "mail/MailProgram.h"
#include "mail/SettingsMailAccounts.h"
#include "mail/form_Checking.h"
#include "mail/form_Properties.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/Dialer.h"
#include "platform/ErrorCodes.h"
#include "platform/IniStore.h"
#include "platform/Launcher.h"
#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"
#include "platform/SystemEvents.h"
#include "platform/Tray.h"
#include "platform/WindowFlags.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

const QString Tip = QStringLiteral("Email check (doubleclick to check)");
// Trays that list their items send one activation per click and none for a double click.
const QString SingleClickTip = QStringLiteral("Email check (click to check)");
const QString Separator = QStringLiteral("-------------------------------------");
const QString NetworkDown = QStringLiteral("Network down: will check when it returns");
// A resume or a change of the network comes before the network is usable: DHCP, Wi-Fi and VPN take a moment.
constexpr int WakeSettleMs = 3000;

enum TrayImage { Idle = 0, NewMail = 1, FirstMoon = 2 };

// More new messages than this are told in one notification rather than one each.
constexpr int NotifiedOneByOne = 5;
const QString OpenProgramAction = QStringLiteral("open");
const QString ReadLaterAction = QStringLiteral("later");

// A stored choice of dial-up counts only where a dialer exists; the file keeps it for a system that has one.
bool DialupInUse(const SettingsRecord &s)
{
    return s.UseRas && platform::dialer().available();
}

// The number the log line shows: the socket's own where it failed, 70 (permission denied) for a password the
// keyring would not give, 1 for what the server said.
int failureNumber(const MailFailure &failure)
{
    if (failure.noPassword)
        return platform::errorInfo(platform::ErrorKind::PermissionDenied).number;
    if (failure.socketError != QAbstractSocket::UnknownSocketError)
        return platform::socketErrorNumber(failure.socketError);
    return 1;
}

// A failure that says nothing of the server: no route, no name lookup, or no network link up at all (where a
// connection to a server only times out).
bool networkFailure(const MailFailure &failure)
{
    return !failure.noPassword &&
           (failure.socketError == QAbstractSocket::NetworkError ||
            failure.socketError == QAbstractSocket::HostNotFoundError || platform::systemEvents().offline());
}

} // namespace

form_NotifyMail::form_NotifyMail(ProgramLifecycle &lifecycle, QWidget *parent)
    : GhostOwner(lifecycle, QStringLiteral("You have new email !"), MailIdleIcon(), Tip, parent),
      m_accounts(std::make_unique<SettingsMailAccounts>()), m_engine(std::make_unique<MailCheck>(*m_accounts))
{
    setObjectName(QStringLiteral("form_NotifyMail"));
    setTrayIdentity(QStringLiteral("tarnibe-mail"), QStringLiteral("Tarnibe E-mail check"));
    popupMenu()->setObjectName(QStringLiteral("menu_SystemTray"));
    addMenuItem(QStringLiteral("menu_Help"), QStringLiteral("&Help"), &form_NotifyMail::menu_Help_Click);
    addMenuItem(QStringLiteral("menu_Properties"), QStringLiteral("Email &properties..."),
                &form_NotifyMail::menu_Properties_Click);
    addMenuItem(QStringLiteral("menu_CheckNow"), QStringLiteral("&Check email now !"),
                &form_NotifyMail::menu_CheckNow_Click);
    addMenuItem(QStringLiteral("menu_WSproperties"), QStringLiteral("&Tarnibe properties..."),
                &form_NotifyMail::menu_WSproperties_Click);
    addMenuSeparator(QStringLiteral("menu_Line1"));
    addMenuItem(QStringLiteral("menu_Exit"), QStringLiteral("&Exit email check"), &form_NotifyMail::menu_Exit_Click);
    resize(480, 300);

    // The schedule counts minutes; the desktop tests make a minute shorter rather than wait for real ones.
    bool shortened = false;
    const int minuteMs = qEnvironmentVariableIntValue("TARNIBE_MAIL_MINUTE_MS", &shortened);
    timer_CheckMail.setInterval(shortened && minuteMs > 0 ? minuteMs : 60000);
    timer_SpinMoon.setInterval(150);
    timer_Blink.setInterval(1000);
    timer_DisableAutoDial.setInterval(3000);
    timer_DisableAutoDial.setSingleShot(true);
    connect(&timer_CheckMail, &QTimer::timeout, this, &form_NotifyMail::timer_CheckMail_Timer);
    connect(&timer_SpinMoon, &QTimer::timeout, this, &form_NotifyMail::timer_SpinMoon_Timer);
    connect(&timer_Blink, &QTimer::timeout, this, &form_NotifyMail::timer_Blink_Timer);
    connect(&timer_DisableAutoDial, &QTimer::timeout, this, &form_NotifyMail::timer_DisableAutoDial_Timer);
    connect(&dialup, &DialupLink::checkMail, this, &form_NotifyMail::CheckMail);
    connect(&dialup, &DialupLink::checkNow, this, &form_NotifyMail::CheckNow);
    m_wakeCheck.setSingleShot(true);
    m_wakeCheck.setInterval(WakeSettleMs);
    connect(&m_wakeCheck, &QTimer::timeout, this, &form_NotifyMail::checkAfterWake);
    const platform::SystemEvents &events = platform::systemEvents();
    connect(&events, &platform::SystemEvents::resumed, this, &form_NotifyMail::systemWoke);
    connect(&events, &platform::SystemEvents::networkChanged, this, &form_NotifyMail::systemWoke);

    MailCheck &engine = *m_engine;
    connect(&engine, &MailCheck::accountStarted, this, [this](int, const QString &server) { accountStarted(server); });
    connect(&engine, &MailCheck::accountChecked, this,
            [this](int, const QString &, int count) { accountChecked(count); });
    connect(&engine, &MailCheck::accountFailed, this,
            [this](int, const MailFailure &failure) { accountFailed(failure); });
    connect(&engine, &MailCheck::finished, this, &form_NotifyMail::passFinished);
    connect(&engine, &MailCheck::pushChanged, this, &form_NotifyMail::pushChanged);
    connect(&engine, &MailCheck::pushStateChanged, this, [this](int index, bool up, const QString &why) {
        m_pushDown[size_t(index)] =
            up || why.isEmpty() ? QString() : why + QStringLiteral(" (") + m_accounts->account(index).server + u')';
        setTrayImage(m_trayImage);
    });
    connect(&engine, &MailCheck::encryptionLearnt, this, [](int index, const QString &learnt) {
        Settings().Encryption[size_t(index)] = learnt;
        saveSetting(accountKey("Encryption", index));
    });
    connect(&engine, &MailCheck::clearTextQuestion, this, [this](const QString &host) {
        const platform::MsgAnswer answer =
            platform::showMessage(QStringLiteral("The server ") + host +
                                      QStringLiteral(" offers no encryption. Send your password unencrypted?"),
                                  QStringLiteral("Email check"), platform::MsgIcon::Question,
                                  platform::MsgButtons::YesNo, platform::MsgAnswer::No);
        m_engine->answerClearText(answer == platform::MsgAnswer::Yes);
    });
    platform::DesktopNotifications &desktop = platform::desktopNotifications();
    connect(&desktop, &platform::DesktopNotifications::actionInvoked, this, &form_NotifyMail::notificationAction);
    connect(&desktop, &platform::DesktopNotifications::closed, this,
            [this](uint id, uint) { m_notifications.remove(id); });
    // Desktop tests have only loopback; this lets a server there stand for a distant one.
    engine.trustLoopback = !qEnvironmentVariableIsSet("TARNIBE_MAIL_LOOPBACK_IS_REMOTE");
}

void form_NotifyMail::setNotice(const QString &notice, int count)
{
    // Made by the first new mail: its text box is the larger part of a start that has none to show.
    if (!text_Display) {
        text_Display = new QPlainTextEdit(this);
        text_Display->setObjectName(QStringLiteral("text_Display"));
        text_Display->setReadOnly(true);
        QFont fixed(QStringLiteral("Courier New"));
        fixed.setStyleHint(QFont::TypeWriter);
        text_Display->setFont(fixed);
        label_Email = new QLabel(this);
        label_Email->setObjectName(QStringLiteral("label_Email"));
        c_ReadNow = new QPushButton(QStringLiteral("Read now"), this);
        c_ReadNow->setObjectName(QStringLiteral("c_ReadNow"));
        c_ReadLater = new QPushButton(QStringLiteral("Read later.."), this);
        c_ReadLater->setObjectName(QStringLiteral("c_ReadLater"));
        connect(c_ReadNow, &QPushButton::clicked, this, &form_NotifyMail::c_ReadNow_Click);
        connect(c_ReadLater, &QPushButton::clicked, this, &form_NotifyMail::c_ReadLater_Click);
        auto *row = new QHBoxLayout;
        row->addWidget(label_Email);
        row->addWidget(new QLabel(QStringLiteral("email(s)"), this));
        row->addStretch();
        row->addWidget(c_ReadNow);
        row->addWidget(c_ReadLater);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text_Display);
        layout->addLayout(row);
    }
    text_Display->setPlainText(notice);
    label_Email->setText(QString::number(count));
}

form_NotifyMail::~form_NotifyMail() = default;

form_Properties *form_NotifyMail::propertiesWindow() const
{
    return m_properties;
}

void form_NotifyMail::Form_Load()
{
    // The notice stays above other windows when it shows; until then it waits minimised and hidden.
    platform::setAlwaysOnTop(this, true);
    centreOnScreen(this);
    GhostOwner::Form_Load();
    setTrayImage(Idle);
    timer_CheckMail.start();
    if (pushAllowed())
        m_engine->startPush();
}

bool form_NotifyMail::pushAllowed() const
{
    const SettingsRecord &s = Settings();
    return CheckMinutes(s.CheckTime) > 0 && !DialupInUse(s);
}

void form_NotifyMail::restartPush()
{
    m_engine->stopPush();
    m_pushDown = {};
    setTrayImage(m_trayImage);
    if (pushAllowed())
        m_engine->startPush();
}

void form_NotifyMail::pushChanged()
{
    if (isChecking())
        m_pushQueued = true;
    else
        CheckMail();
}

void form_NotifyMail::setTrayImage(int image)
{
    m_trayImage = image;
    const QIcon idle = m_lastFailure.isEmpty() ? MailIdleIcon() : MailFailedIcon();
    // The frames that show new mail carry the count of what came since the user last read.
    const int count = m_engine->newSinceRead();
    const QIcon news = count > 0 ? MailCountIcon(count) : MailNewIcon();
    const QIcon icon = image == Idle ? idle : image == NewMail ? news : MoonFrame(image - FirstMoon);
    QString tip = platform::trayHost().activatesOnce() ? SingleClickTip : Tip;
    if (!m_lastFailure.isEmpty())
        tip += u'\n' + m_lastFailure;
    for (const QString &down : m_pushDown)
        if (!down.isEmpty())
            tip += u'\n' + down;
    const SettingsRecord &s = Settings();
    for (int index = 0; index < std::clamp(s.NbrofAccounts, 1, MaxMailAccounts); ++index) {
        // Not for an account whose server has changed since: that one has not been checked yet.
        const MailNews &account = m_engine->news(index);
        if (account.checked.isValid() && account.server == s.POPServer[size_t(index)])
            tip += u'\n' + account.server + QStringLiteral(": ") + QString::number(account.sinceRead) +
                   QStringLiteral(" new, last checked ") + account.checked.toString(QStringLiteral("HH:mm"));
    }
    ModifyTrayIcon(this, icon, tip);
}

void form_NotifyMail::trayHostChanged()
{
    setTrayImage(m_trayImage);
}

void form_NotifyMail::trayActivated(platform::TrayClick click)
{
    if (AutodialFlags().MailCheckActive || isChecking())
        return;
    if (click == platform::TrayClick::Double ||
        (click == platform::TrayClick::Left && platform::trayHost().activatesOnce()))
        menu_CheckNow_Click();
    else if (click == platform::TrayClick::Right)
        showPopupMenu();
}

void form_NotifyMail::UnloadWindows()
{
    // A pass under way ends at once instead of trying every account.
    if (isChecking()) {
        m_engine->stop();
        endPass();
    }
    timer_CheckMail.stop();
    m_engine->stopPush();
    timer_SpinMoon.stop();
    timer_Blink.stop();
    m_wakeCheck.stop();
    if (m_checkingWindow)
        m_checkingWindow->hide();
    delete m_properties;
    closeNotifications();
}

void form_NotifyMail::menu_Help_Click()
{
    m_lifecycle.openHelp(QStringLiteral("mail.html"));
}

void form_NotifyMail::menu_Properties_Click()
{
    if (!m_properties) {
        m_properties = new form_Properties;
        m_properties->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_properties, &form_Properties::saved, this, &form_NotifyMail::restartPush);
        m_properties->Form_Load();
    }
    m_properties->show();
    m_properties->raise();
    m_properties->activateWindow();
}

void form_NotifyMail::menu_CheckNow_Click()
{
    CheckNow();
}

void form_NotifyMail::menu_WSproperties_Click()
{
    m_lifecycle.showControlPanel();
}

void form_NotifyMail::menu_Exit_Click()
{
    m_lifecycle.exitProgram(Program::Email, this, [this] {
        Unload();
        UnloadWindows();
        hide();
    });
}

void form_NotifyMail::closeEvent(QCloseEvent *event)
{
    // The notice's close button only puts it away; the tray icon stays.
    event->ignore();
    putAway();
}

void form_NotifyMail::putAway()
{
    // Straight to hidden: minimising first would go through the window manager, whose answer can come after the
    // next notice was shown and put that one away instead.
    hide();
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void form_NotifyMail::changeEvent(QEvent *event)
{
    GhostOwner::changeEvent(event);
    // Hidden once minimised; after the minimising call has finished, since showMinimized() shows the window last.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        const int shown = m_noticesShown;
        platform::whenMinimisedStays(this, [this, shown] {
            // A notice shown since is not the one the user minimised.
            if (shown == m_noticesShown)
                putAway();
        });
    }
}

bool form_NotifyMail::checkingVisible() const
{
    return m_checkingWindow && m_checkingWindow->isVisible();
}

form_Checking *form_NotifyMail::checkingWindow()
{
    if (!m_checkingWindow)
        m_checkingWindow = std::make_unique<form_Checking>();
    return m_checkingWindow.get();
}

void form_NotifyMail::timer_CheckMail_Timer()
{
    const SettingsRecord &s = Settings();
    const bool quietHours =
        s.RasCheckLimited == 1 && ForbiddenHour(platform::Clock::now().time().hour(), s.RasTime1, s.RasTime2);
    if (!m_engine->minutePassed(CheckMinutes(s.CheckTime), quietHours))
        return;
    if (DialupInUse(s) && !platform::dialer().RasIsConnected())
        dialup.RasConnectAndCheckMail(true);
    else
        CheckMail();
}

void form_NotifyMail::systemWoke()
{
    // Only while the program runs, which its schedule's timer tells.
    if (!timer_CheckMail.isActive())
        return;
    m_engine->systemWoke();
    m_wakeCheck.start();
}

void form_NotifyMail::checkAfterWake()
{
    // As the timer's pass: not where the user checks only by hand, not in the quiet hours, and never dialling.
    const SettingsRecord &s = Settings();
    if (CheckMinutes(s.CheckTime) == 0 ||
        (s.RasCheckLimited == 1 && ForbiddenHour(platform::Clock::now().time().hour(), s.RasTime1, s.RasTime2)) ||
        (DialupInUse(s) && !platform::dialer().RasIsConnected()))
        return;
    if (isChecking()) {
        // The user watches a check of their own; a scheduled one may hang on a connection made before the change.
        if (m_manualPass)
            return;
        m_engine->stop();
        endPass();
        timer_DisableAutoDial.stop();
        timer_DisableAutoDial_Timer();
    }
    // With no link up there is no one to ask; the next change checks again.
    if (platform::systemEvents().offline()) {
        m_lastFailure = NetworkDown;
        setTrayImage(Idle);
        return;
    }
    CheckMail();
}

void form_NotifyMail::CheckNow()
{
    if (isChecking())
        return;
    const SettingsRecord &s = Settings();
    const int accounts = std::clamp(s.NbrofAccounts, 1, MaxMailAccounts);
    if (std::all_of(s.POPServer.begin(), s.POPServer.begin() + accounts, IsUnsetAccount)) {
        // Where no tray runs, the menu is the Control center picture's.
        const QString where =
            platform::trayHost().available()
                ? QStringLiteral("the e-mail icon's menu")
                : QStringLiteral("the menu of the Email check picture in the Control center (right-click "
                                 "the picture)");
        platform::showMessage(QStringLiteral("No mailbox is set up yet. Choose \"Email properties...\" in ") + where +
                                  QStringLiteral(" and enter your mail server."),
                              QStringLiteral("Mailbox"), platform::MsgIcon::Information);
        return;
    }
    if (DialupInUse(Settings()) && !platform::dialer().RasIsConnected()) {
        dialup.RasConnectAndCheckMail(false);
        return;
    }
    checkingWindow()->Form_Load();
    m_checkingWindow->show();
    m_engine->forget();
    startPass(true);
}

void form_NotifyMail::CheckMail()
{
    startPass(false);
}

void form_NotifyMail::startPass(bool manual)
{
    if (isChecking())
        return;
    m_manualPass = manual;
    m_passFailure.clear();
    m_passNetworkDown = true;
    DisableAutodial();
    AutodialFlags().MailCheckActive = true;
    // The icon takes no clicks now; a tray that draws the menu itself shows it greyed.
    popupMenu()->setEnabled(false);
    timer_Blink.stop();
    m_spinFrame = 0;
    timer_SpinMoon.start();
    m_engine->start();
}

void form_NotifyMail::accountStarted(const QString &server)
{
    if (checkingVisible())
        m_checkingWindow->addLine(QStringLiteral("- Checking :") + server);
}

void form_NotifyMail::accountChecked(int count)
{
    if (count > 0)
        timer_Blink.start();
    if (checkingVisible()) {
        m_checkingWindow->addLine(QStringLiteral("- Success"));
        m_checkingWindow->addLine(Separator);
    }
}

// Said where the user looks, the tray, until a check succeeds: a scheduled check has no window. The first
// failure of a check is the one the tray tells.
void form_NotifyMail::accountFailed(const MailFailure &failure)
{
    logError(QStringLiteral("err_Notify_CheckMail "), failureNumber(failure), failure.why,
             u'(' + failure.server + u')');
    m_passNetworkDown = m_passNetworkDown && networkFailure(failure);
    if (m_passFailure.isEmpty())
        m_passFailure = QStringLiteral("Last check failed ") +
                        platform::Clock::now().toString(QStringLiteral("HH:mm")) + QStringLiteral(": ") + failure.why +
                        QStringLiteral(" (") + failure.server + u')';
    if (checkingVisible()) {
        m_checkingWindow->addLine(QStringLiteral("- Error: ") + failure.why);
        m_checkingWindow->addLine(Separator);
    }
}

void form_NotifyMail::showNotice(const QString &notice, int total, bool chime)
{
    setNotice(notice, total);
    ++m_noticesShown;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (chime)
        PlaySound(QStringLiteral("new.wav"));
    show();
    raise();
    activateWindow();
    centreOnScreen(this);
}

void form_NotifyMail::passFinished()
{
    // A change pushed while this pass ran may have come after its account was read.
    if (std::exchange(m_pushQueued, false))
        QTimer::singleShot(0, this, &form_NotifyMail::CheckMail);
    const bool notified = m_engine->newMail() && notifyDesktop();
    if (m_engine->newMail() && !notified)
        showNotice(m_engine->notice(), m_engine->total());
    // One line for a network that is down, however many accounts failed for it.
    m_lastFailure = !m_passFailure.isEmpty() && m_passNetworkDown ? NetworkDown : m_passFailure;
    endPass();
    setTrayImage(Idle);
    if (!m_manualPass)
        return;
    if (m_engine->allOk()) {
        m_checkingWindow->Timer1.stop();
        m_checkingWindow->hide();
    } else {
        m_checkingWindow->c_Close->show();
        m_checkingWindow->label_Data[0]->setText(QStringLiteral("Error(s) from some servers occurred"));
        m_checkingWindow->move(0, 0);
        m_checkingWindow->list_Display->setCurrentRow(-1);
    }
    if ((isMinimized() || !isVisible()) && !checkingVisible() && !notified)
        platform::showMessage(QStringLiteral("You have no new emails...."), QStringLiteral("Mailbox"),
                              platform::MsgIcon::Information);
}

void form_NotifyMail::endPass()
{
    timer_SpinMoon.stop();
    if (DialupInUse(Settings()) && AutodialFlags().RasDialedByCheck)
        platform::dialer().RasHangUp();
    AutodialFlags().RasDialedByCheck = false;
    timer_DisableAutoDial.start();
}

void form_NotifyMail::timer_DisableAutoDial_Timer()
{
    AutodialFlags().MailCheckActive = false;
    popupMenu()->setEnabled(true);
    RestoreAutoDial();
}

void form_NotifyMail::timer_SpinMoon_Timer()
{
    ++m_spinFrame;
    setTrayImage(FirstMoon + m_spinFrame - 1);
    if (m_spinFrame == 8)
        m_spinFrame = 0;
}

void form_NotifyMail::timer_Blink_Timer()
{
    setTrayImage(m_trayImage == Idle ? NewMail : Idle);
}

void form_NotifyMail::c_ReadNow_Click()
{
    SettingsRecord &s = Settings();
    s.cntEmail += 1;
    s.totEmail += 1;
    timer_Blink.stop();
    m_engine->markRead();
    setTrayImage(Idle);
    putAway();
    m_engine->forget();
    const QString command = MailProgramCommand(s.EmailPath);
    // Without a program of the user's own, the desktop's mail program.
    const bool started = command.isEmpty() ? platform::launcher().openUrl(QUrl(QStringLiteral("mailto:")))
                                           : platform::launcher().startDetached(command);
    if (!started) {
        platform::showMessage(QStringLiteral("Can not find your standard email program..."), QStringLiteral("Info:"),
                              platform::MsgIcon::Information);
        putAway();
    }
}

void form_NotifyMail::c_ReadLater_Click()
{
    SettingsRecord &s = Settings();
    s.cntEmail += 1;
    s.totEmail += 1;
    // The envelope keeps blinking while mail waits, without the count of what the user has now seen.
    m_engine->markRead();
    setTrayImage(m_trayImage);
    putAway();
}

bool form_NotifyMail::notifyDesktop()
{
    platform::DesktopNotifications &desktop = platform::desktopNotifications();
    const QList<NewMessage> &fresh = m_engine->freshMessages();
    if (!Settings().MailNotify || !desktop.available() || fresh.isEmpty())
        return false;
    m_notifiedNotice = m_engine->notice();
    m_notifiedTotal = m_engine->total();
    platform::DesktopNotifications::Notification n;
    n.iconName = QStringLiteral("mail-unread");
    const QImage picture = MailNewIcon().pixmap(48, 48).toImage().convertToFormat(QImage::Format_RGBA8888);
    n.pictureWidth = picture.width();
    n.pictureHeight = picture.height();
    for (int y = 0; y < picture.height(); ++y)
        n.pictureRgba.append(reinterpret_cast<const char *>(picture.constScanLine(y)), picture.width() * 4);
    n.actions = {{OpenProgramAction, QStringLiteral("Open mail program")},
                 {ReadLaterAction, QStringLiteral("Read later")},
                 {platform::DesktopNotifications::DefaultAction, QStringLiteral("Show the new mail")}};
    const auto send = [this, &desktop](const platform::DesktopNotifications::Notification &one) {
        desktop.notify(one, this, [this](uint id) {
            if (id != 0)
                m_notifications.insert(id);
        });
    };
    if (fresh.size() > NotifiedOneByOne) {
        // After a night away, one summary rather than a flood.
        n.summary = QString::number(fresh.size()) + QStringLiteral(" new messages");
        QStringList senders;
        for (const NewMessage &message : fresh)
            if (!senders.contains(message.from))
                senders.append(message.from);
        n.body = QStringLiteral("From ") + senders.mid(0, NotifiedOneByOne).join(QStringLiteral(", ")) +
                 (senders.size() > NotifiedOneByOne ? QStringLiteral(" and others") : QString());
        send(n);
    } else {
        for (const NewMessage &message : fresh) {
            n.summary = message.from.isEmpty() ? QStringLiteral("New mail") : message.from;
            n.body = message.subject + message.tag;
            send(n);
        }
    }
    PlaySound(QStringLiteral("new.wav"));
    return true;
}

void form_NotifyMail::notificationAction(uint id, const QString &key)
{
    if (!m_notifications.contains(id))
        return;
    closeNotifications();
    if (key == OpenProgramAction)
        c_ReadNow_Click();
    else if (key == ReadLaterAction)
        c_ReadLater_Click();
    else if (key == platform::DesktopNotifications::DefaultAction)
        showNotice(m_notifiedNotice, m_notifiedTotal, false);
}

void form_NotifyMail::closeNotifications()
{
    platform::DesktopNotifications &desktop = platform::desktopNotifications();
    for (uint id : std::exchange(m_notifications, {}))
        desktop.close(id);
}

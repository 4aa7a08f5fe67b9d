// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/form_Properties.h"

#include "core/ErrorLog.h"
#include "core/Named.h"
#include "core/Settings.h"
#include "core/SettingsCodec.h"
#include "core/Twips.h"
#include "mail/ImapClient.h"
#include "mail/MailText.h"
#include "mail/NewMail.h"
#include "mail/form_Browse.h"
#include "platform/DesktopNotifications.h"
#include "platform/Dialer.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace {

constexpr int FoldedHeight = 3045;
constexpr int UnfoldedHeight = 7110;
const QString ModemMore = QStringLiteral("I am using a modem -->");
// The protocols a server can be spoken to in, with the scheme its text takes; plain POP3 takes none, as always.
const std::pair<QString, QString> Protocols[] = {
    {QStringLiteral("POP3"), QString()},
    {QStringLiteral("POP3, encrypted from the start (POP3S)"), QStringLiteral("pop3s://")},
    {QStringLiteral("IMAP"), QStringLiteral("imap://")},
    {QStringLiteral("IMAP, encrypted from the start (IMAPS)"), QStringLiteral("imaps://")},
};
const QString ModemLess = QStringLiteral("Less -->");
const QString NoNotifications = QStringLiteral("No notification service is running on this desktop");

} // namespace

form_Properties::form_Properties(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_Properties"));
    setWindowTitle(QStringLiteral("Email properties"));
    buildWindow();
}

form_Properties::~form_Properties() = default;

void form_Properties::buildWindow()
{
    auto *frame_Data = named(new QGroupBox(QStringLiteral("Server")), "frame_Data");
    combo_POPservers = named(new QComboBox, "combo_POPservers");
    combo_POPservers->setEditable(true);
    combo_POPservers->setInsertPolicy(QComboBox::NoInsert);
    combo_POPservers->setMinimumWidth(240);
    // The list takes the focus for its text field, which hears of losing it only from the list itself.
    combo_POPservers->installEventFilter(this);
    text_UserName = named(new QLineEdit, "text_UserName");
    text_Password = named(new QLineEdit, "text_Password");
    text_Password->setEchoMode(QLineEdit::Password);
    c_NewAccount = named(new QPushButton(QStringLiteral("Add new")), "c_NewAccount");
    c_DeleteAccount = named(new QPushButton(QStringLiteral("Delete")), "c_DeleteAccount");
    auto *serverLayout = new QGridLayout(frame_Data);
    serverLayout->addWidget(new QLabel(QStringLiteral("POP-server:")), 0, 0);
    serverLayout->addWidget(combo_POPservers, 0, 1);
    serverLayout->addWidget(c_NewAccount, 0, 2);
    serverLayout->addWidget(new QLabel(QStringLiteral("Username:")), 1, 0);
    serverLayout->addWidget(text_UserName, 1, 1);
    serverLayout->addWidget(c_DeleteAccount, 1, 2);
    serverLayout->addWidget(new QLabel(QStringLiteral("Password:")), 2, 0);
    serverLayout->addWidget(text_Password, 2, 1);
    // How the server is spoken to: written into the server's text as its scheme, so an account stays one text.
    combo_Protocol = named(new QComboBox, "combo_Protocol");
    for (const auto &[caption, scheme] : Protocols)
        combo_Protocol->addItem(caption, scheme);
    serverLayout->addWidget(new QLabel(QStringLiteral("Protocol:")), 3, 0);
    serverLayout->addWidget(combo_Protocol, 3, 1);
    connect(combo_Protocol, &QComboBox::activated, this, &form_Properties::combo_Protocol_Click);
    c_Folders = named(new QPushButton(QStringLiteral("Folders...")), "c_Folders");
    list_Folders = named(new QListWidget, "list_Folders");
    list_Folders->setMaximumHeight(list_Folders->fontMetrics().height() * 6);
    label_Folders = named(new QLabel, "label_Folders");
    label_Folders->setWordWrap(true);
    serverLayout->addWidget(c_Folders, 3, 2);
    serverLayout->addWidget(list_Folders, 4, 1, 1, 2);
    serverLayout->addWidget(label_Folders, 5, 1, 1, 2);
    connect(c_Folders, &QPushButton::clicked, this, &form_Properties::c_Folders_Click);
    connect(list_Folders, &QListWidget::itemChanged, this, &form_Properties::list_Folders_ItemCheck);

    text_EmailPath = named(new QLineEdit, "text_EmailPath");
    c_Browse = named(new QPushButton(QStringLiteral("...")), "c_Browse");
    c_Browse->setMaximumWidth(32);
    combo_CheckTime = named(new QComboBox, "combo_CheckTime");
    auto *general = new QGridLayout;
    general->addWidget(new QLabel(QStringLiteral("Emailprogram:")), 0, 0);
    general->addWidget(text_EmailPath, 0, 1);
    general->addWidget(c_Browse, 0, 2);
    auto *checkRow = new QHBoxLayout;
    checkRow->addWidget(new QLabel(QStringLiteral("Check for new email every")));
    checkRow->addWidget(combo_CheckTime);
    checkRow->addWidget(new QLabel(QStringLiteral("minute")));
    checkRow->addStretch();
    general->addLayout(checkRow, 1, 0, 1, 3);
    check_MailNotify =
        named(new QCheckBox(QStringLiteral("Show new mail as a desktop &notification")), "check_MailNotify");
    label_NoNotifications = named(new QLabel(QStringLiteral("(") + NoNotifications + u')'), "label_NoNotifications");
    general->addWidget(check_MailNotify, 2, 0, 1, 3);
    general->addWidget(label_NoNotifications, 3, 0, 1, 3);
    connect(&platform::desktopNotifications(), &platform::DesktopNotifications::availableChanged, this,
            &form_Properties::notificationsAvailable);

    c_Ok = named(new QPushButton(QStringLiteral("Ok")), "c_Ok");
    c_Cancel = named(new QPushButton(QStringLiteral("Cancel")), "c_Cancel");
    c_More = named(new QPushButton(ModemMore), "c_More");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(c_More);
    buttons->addStretch();
    buttons->addWidget(c_Ok);
    buttons->addWidget(c_Cancel);

    buildModemFrame();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame_Data);
    layout->addLayout(general);
    layout->addLayout(buttons);
    layout->addWidget(frame_Modem);

    connect(combo_POPservers, &QComboBox::activated, this, &form_Properties::combo_POPservers_Click);
    connect(text_UserName, &QLineEdit::textEdited, this, &form_Properties::text_UserName_Change);
    connect(text_Password, &QLineEdit::textEdited, this, &form_Properties::text_Password_Change);
    connect(c_NewAccount, &QPushButton::clicked, this, &form_Properties::c_NewAccount_Click);
    connect(c_DeleteAccount, &QPushButton::clicked, this, &form_Properties::c_DeleteAccount_Click);
    connect(c_Browse, &QPushButton::clicked, this, &form_Properties::c_Browse_Click);
    connect(c_More, &QPushButton::clicked, this, &form_Properties::c_More_Click);
    connect(c_Ok, &QPushButton::clicked, this, &form_Properties::c_Ok_Click);
    connect(c_Cancel, &QPushButton::clicked, this, &form_Properties::c_Cancel_Click);
    connect(combo_RasConnections, &QComboBox::activated, this, &form_Properties::combo_RasConnections_Click);
    for (int i = 0; i < 2; ++i)
        connect(option_RAS[i], &QRadioButton::clicked, this, [this, i] { option_RAS_Click(i); });
    // Server, user, password, protocol: the account's fields one after the other for the keyboard.
    setTabOrder(combo_POPservers, text_UserName);
    setTabOrder(text_UserName, text_Password);
    setTabOrder(text_Password, combo_Protocol);
    setTabOrder(combo_Protocol, c_Folders);
    setTabOrder(c_Folders, list_Folders);
}

// The dial-up settings, shown by "More".
void form_Properties::buildModemFrame()
{
    frame_Modem = named(new QGroupBox(QStringLiteral("Modem settings  ")), "frame_Modem");
    auto *note = new QLabel(QStringLiteral("You can let Tarnibe connect/disconnect automatically when checking for "
                                           "email if you are using dial-up networking.   "));
    note->setWordWrap(true);
    option_RAS[0] = named(new QRadioButton(QStringLiteral("No, I want to decide when to connect. ")), "option_RAS0");
    option_RAS[1] = named(new QRadioButton(QStringLiteral("Yes, use dial-up connection")), "option_RAS1");
    combo_RasConnections = named(new QComboBox, "combo_RasConnections");
    text_RasUserName = named(new QLineEdit, "text_RasUserName");
    text_RasPassword = named(new QLineEdit, "text_RasPassword");
    text_RasPassword->setEchoMode(QLineEdit::Password);
    check_LimitRas = named(new QCheckBox(QStringLiteral("Do not connect from :")), "check_LimitRas");
    combo_FirstHour = named(new QComboBox, "combo_FirstHour");
    combo_LastHour = named(new QComboBox, "combo_LastHour");
    for (QComboBox *hours : {combo_FirstHour, combo_LastHour}) {
        hours->setEditable(true);
        for (int h = 0; h < 24; ++h)
            hours->addItem(QString::number(h));
    }
    auto *loginLabel = new QLabel(QStringLiteral("Loginname:"));
    auto *passwordLabel = new QLabel(QStringLiteral("Password:"));
    auto *andLabel = new QLabel(QStringLiteral("h  and"));
    auto *forwardLabel = new QLabel(QStringLiteral("h forward"));
    auto *modemLayout = new QGridLayout(frame_Modem);
    modemLayout->addWidget(note, 0, 0, 1, 4);
    modemLayout->addWidget(option_RAS[0], 1, 0, 1, 4);
    modemLayout->addWidget(option_RAS[1], 2, 0, 1, 2);
    modemLayout->addWidget(combo_RasConnections, 2, 2, 1, 2);
    modemLayout->addWidget(loginLabel, 3, 0);
    modemLayout->addWidget(text_RasUserName, 3, 1, 1, 3);
    modemLayout->addWidget(passwordLabel, 4, 0);
    modemLayout->addWidget(text_RasPassword, 4, 1, 1, 3);
    auto *limitRow = new QHBoxLayout;
    limitRow->addWidget(check_LimitRas);
    limitRow->addWidget(combo_FirstHour);
    limitRow->addWidget(andLabel);
    limitRow->addWidget(combo_LastHour);
    limitRow->addWidget(forwardLabel);
    limitRow->addStretch();
    modemLayout->addLayout(limitRow, 5, 0, 1, 4);
    label_NoDialup = named(new QLabel(QStringLiteral("No dial-up connections on this computer")), "label_NoDialup");
    label_NoDialup->hide();
    modemLayout->addWidget(label_NoDialup, 6, 0, 1, 4);
    // The quiet hours hold for every scheduled check, dialled or not: they stay editable on their own.
    m_rasControls = {combo_RasConnections, text_RasUserName, text_RasPassword, loginLabel, passwordLabel};
    frame_Modem->hide();
}

void form_Properties::fillServers(int select)
{
    const SettingsRecord &s = Settings();
    combo_POPservers->clear();
    for (int i = 0; i < std::clamp(s.NbrofAccounts, 1, MaxMailAccounts); ++i)
        combo_POPservers->addItem(s.POPServer[size_t(i)]);
    combo_POPservers->setCurrentIndex(select);
    combo_POPservers_Click();
}

void form_Properties::Form_Load()
{
    SettingsRecord &s = Settings();
    s.NbrofAccounts = std::clamp(s.NbrofAccounts, 1, MaxMailAccounts);
    m_savedCount = s.NbrofAccounts;
    m_savedServers = s.POPServer;
    m_savedUsers = s.UserName;
    m_savedPasswords = s.PassWord;
    m_savedFolders = m_storedFolders = s.Folders;
    combo_CheckTime->clear();
    combo_CheckTime->addItems({QStringLiteral("0 (=never)"), QStringLiteral("3"), QStringLiteral("5"),
                               QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("30"), QStringLiteral("60")});
    combo_CheckTime->setEditable(true);
    fillServers(0);
    text_EmailPath->setText(s.EmailPath);
    combo_CheckTime->setCurrentText(s.CheckTime);
    check_MailNotify->setChecked(s.MailNotify);
    notificationsAvailable(platform::desktopNotifications().available());
    platform::Dialer &dialer = platform::dialer();
    // Where nothing can dial, the choice is shown as it is stored but cannot be made, and says why.
    option_RAS[1]->setEnabled(dialer.available());
    label_NoDialup->setVisible(!dialer.available());
    option_RAS[s.UseRas ? 1 : 0]->setChecked(true);
    option_RAS_Click(s.UseRas ? 1 : 0);
    combo_RasConnections->clear();
    for (int i = 0; i < dialer.RasEntryCount(); ++i)
        combo_RasConnections->addItem(dialer.RasEntryAt(i));
    combo_RasConnections->setCurrentText(s.RasConnection);
    text_RasUserName->setText(s.RasUserName);
    text_RasPassword->setText(s.RasPassword);
    combo_FirstHour->setCurrentText(QString::number(s.RasTime1));
    combo_LastHour->setCurrentText(QString::number(s.RasTime2));
    check_LimitRas->setChecked(s.RasCheckLimited == 1);
    adjustSize();
    resize(width(), std::max(toPixels(FoldedHeight), sizeHint().height()));
    centreOnScreen(this);
}

void form_Properties::notificationsAvailable(bool available)
{
    // Shown as stored either way, for a desktop that has a server later.
    check_MailNotify->setEnabled(available);
    check_MailNotify->setToolTip(available ? QString() : NoNotifications);
    label_NoNotifications->setVisible(!available);
}

void form_Properties::combo_POPservers_Click()
{
    const int index = std::max(combo_POPservers->currentIndex(), 0);
    m_account = std::min(index, MaxMailAccounts - 1);
    const QString server = Settings().POPServer[size_t(m_account)].trimmed();
    int protocol = 0;
    for (int i = 1; i < int(std::size(Protocols)); ++i)
        if (server.startsWith(Protocols[i].second, Qt::CaseInsensitive))
            protocol = i;
    combo_Protocol->setCurrentIndex(protocol);
    text_UserName->setText(Settings().UserName[size_t(index)]);
    text_Password->setText(Settings().PassWord[size_t(index)]);
    // A listing under way was for the account shown before.
    if (m_lister)
        m_lister->close();
    label_Folders->clear();
    showFolders();
}

void form_Properties::showFolders(const QList<QByteArray> &listed)
{
    const QString server = Settings().POPServer[size_t(m_account)].trimmed();
    const std::optional<MailAddress> address = ParseMailAddress(server);
    const bool imap = address && address->protocol == MailProtocol::Imap;
    c_Folders->setVisible(imap);
    label_Folders->setVisible(imap);
    const QStringList ticked = Settings().Folders[size_t(m_account)].split(u'\t', Qt::SkipEmptyParts);
    // The server's folders, and the ticked ones it did not list, so that they can still be unticked.
    QList<QByteArray> names;
    for (const QByteArray &name : listed)
        // A tab parts the names in the settings; modified UTF-7 never has one.
        if (name.compare("INBOX", Qt::CaseInsensitive) != 0 && !name.contains('\t'))
            names.append(name);
    for (const QString &name : ticked)
        if (!names.contains(name.toLatin1()))
            names.append(name.toLatin1());
    std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
        return ImapFolderName(a).compare(ImapFolderName(b), Qt::CaseInsensitive) < 0;
    });
    m_fillingFolders = true;
    list_Folders->clear();
    for (const QByteArray &name : std::as_const(names)) {
        const bool gone = !listed.isEmpty() && !listed.contains(name);
        auto *item = new QListWidgetItem(
            ImapFolderName(name) + (gone ? QStringLiteral(" (not on the server)") : QString()), list_Folders);
        item->setData(Qt::UserRole, name);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked.contains(QString::fromLatin1(name)) ? Qt::Checked : Qt::Unchecked);
    }
    m_fillingFolders = false;
    list_Folders->setVisible(imap && list_Folders->count() > 0);
}

void form_Properties::c_Folders_Click()
{
    if (!m_lister) {
        m_lister = std::make_unique<ImapClient>();
        connect(m_lister.get(), &ImapClient::opened, this, [this] { m_lister->listFolders(); });
        connect(m_lister.get(), &ImapClient::foldersListed, this, [this] {
            const QList<QByteArray> listed = m_lister->folders();
            m_lister->close();
            label_Folders->setText(listed.size() > 1 ? QStringLiteral("Tick the folders to check besides INBOX.")
                                                     : QStringLiteral("The server has no folders besides INBOX."));
            showFolders(listed);
        });
        connect(m_lister.get(), &ImapClient::failed, this, [this] {
            m_lister->close();
            label_Folders->setText(QStringLiteral("The folders could not be listed: ") + m_lister->errorString());
        });
    }
    const SettingsRecord &s = Settings();
    const QString server = s.POPServer[size_t(m_account)].trimmed();
    const QString learnt = s.Encryption[size_t(m_account)];
    // What the account learnt of this server's encryption holds here too: no password in clear where it had TLS.
    const QString before = learntFor(learnt, server);
    label_Folders->setText(QStringLiteral("Listing the server's folders..."));
    m_lister->open(server, text_UserName->text(), text_Password->text(), before);
}

void form_Properties::list_Folders_ItemCheck(QListWidgetItem *item)
{
    if (m_fillingFolders || !item)
        return;
    QStringList ticked;
    for (int i = 0; i < list_Folders->count(); ++i)
        if (list_Folders->item(i)->checkState() == Qt::Checked)
            ticked.append(QString::fromLatin1(list_Folders->item(i)->data(Qt::UserRole).toByteArray()));
    Settings().Folders[size_t(m_account)] = ticked.join(u'\t');
}

void form_Properties::saveFolders()
{
    const SettingsRecord &s = Settings();
    for (int i = 0; i < MaxMailAccounts; ++i)
        if (s.Folders[size_t(i)] != m_storedFolders[size_t(i)])
            saveSetting(accountKey("Folders", i));
    m_storedFolders = s.Folders;
}

bool form_Properties::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == combo_POPservers && event->type() == QEvent::FocusOut)
        combo_POPservers_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void form_Properties::combo_POPservers_LostFocus()
{
    const int index = combo_POPservers->currentIndex();
    const QString typed = combo_POPservers->currentText();
    // Typed over the shown server: the account takes the new name.
    if (index >= 0 && typed == combo_POPservers->itemText(index))
        return;
    const int account = m_account;
    // A name typed without a scheme keeps the protocol chosen beside it.
    QString server = typed.trimmed();
    if (!server.contains(u"://") && !IsUnsetAccount(server))
        server.prepend(combo_Protocol->currentData().toString());
    Settings().POPServer[size_t(account)] = server;
    fillServers(account);
}

void form_Properties::combo_Protocol_Click()
{
    QString server = Settings().POPServer[size_t(m_account)].trimmed();
    if (IsUnsetAccount(server))
        return;
    for (const auto &[caption, scheme] : Protocols)
        if (!scheme.isEmpty() && server.startsWith(scheme, Qt::CaseInsensitive))
            server = server.mid(scheme.size());
    if (server.startsWith(u"pop3://", Qt::CaseInsensitive))
        server = server.mid(7);
    server.prepend(combo_Protocol->currentData().toString());
    Settings().POPServer[size_t(m_account)] = server;
    combo_POPservers->setItemText(m_account, server);
    showFolders();
}

void form_Properties::text_UserName_Change()
{
    Settings().UserName[size_t(m_account)] = text_UserName->text();
}

void form_Properties::text_Password_Change()
{
    Settings().PassWord[size_t(m_account)] = text_Password->text();
}

void form_Properties::c_NewAccount_Click()
{
    SettingsRecord &s = Settings();
    if (s.NbrofAccounts >= MaxMailAccounts) {
        platform::showMessage(QStringLiteral("You can use a maximum of 10 emailservers simultaneously  !"),
                              QStringLiteral("info"), platform::MsgIcon::Information);
        return;
    }
    s.NbrofAccounts += 1;
    combo_POPservers->addItem(s.POPServer[size_t(s.NbrofAccounts - 1)]);
    combo_POPservers->setCurrentIndex(combo_POPservers->count() - 1);
    combo_POPservers_Click();
}

void form_Properties::c_DeleteAccount_Click()
{
    if (combo_POPservers->count() == 1) {
        platform::showMessage(QStringLiteral("You have to have at least one emailserver ! "),
                              QStringLiteral("Could not delete account"), platform::MsgIcon::Information);
        return;
    }
    if (platform::showMessage(QStringLiteral("Do you really want to delete ") + combo_POPservers->currentText() +
                                  QStringLiteral(" ?"),
                              QStringLiteral("Delete"), platform::MsgIcon::Question, platform::MsgButtons::YesNo,
                              platform::MsgAnswer::No) != platform::MsgAnswer::Yes)
        return;
    SettingsRecord &s = Settings();
    const int k = std::max(combo_POPservers->currentIndex(), 0);
    for (int j = k; j < s.NbrofAccounts - 1; ++j) {
        s.POPServer[size_t(j)] = s.POPServer[size_t(j + 1)];
        s.UserName[size_t(j)] = s.UserName[size_t(j + 1)];
        s.PassWord[size_t(j)] = s.PassWord[size_t(j + 1)];
        s.Encryption[size_t(j)] = s.Encryption[size_t(j + 1)];
        s.Folders[size_t(j)] = s.Folders[size_t(j + 1)];
    }
    const int last = s.NbrofAccounts - 1;
    const QString number = QString::number(last + 1);
    s.POPServer[size_t(last)] = QStringLiteral("- Internetaddress to mailserver ") + number;
    s.UserName[size_t(last)] = QStringLiteral("- Mailserver username ") + number;
    s.PassWord[size_t(last)].clear();
    s.Encryption[size_t(last)].clear();
    s.Folders[size_t(last)].clear();
    s.NbrofAccounts -= 1;
    fillServers(0);
    saveSettings();
    saveFolders();
}

void form_Properties::c_Browse_Click()
{
    auto *picker = new form_Browse(this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &form_Browse::chosen, text_EmailPath, &QLineEdit::setText);
    picker->Form_Load();
    picker->open();
}

void form_Properties::c_More_Click()
{
    const bool unfold = !m_unfolded;
    m_unfolded = unfold;
    c_More->setText(unfold ? ModemLess : ModemMore);
    frame_Modem->setVisible(unfold);
    adjustSize();
    resize(width(), std::max(toPixels(unfold ? UnfoldedHeight : FoldedHeight), sizeHint().height()));
    centreOnScreen(this);
}

void form_Properties::option_RAS_Click(int Index)
{
    const bool dialer = platform::dialer().available();
    for (QWidget *control : std::as_const(m_rasControls))
        control->setEnabled(Index == 1 && dialer);
}

void form_Properties::combo_RasConnections_Click()
{
    const platform::Dialer::EntryLogin login = platform::dialer().entryLogin(combo_RasConnections->currentText());
    text_RasUserName->setText(login.userName);
    text_RasPassword->setText(login.password);
}

void form_Properties::c_Ok_Click()
{
    SettingsRecord &s = Settings();
    const int account = std::max(combo_POPservers->currentIndex(), 0);
    s.POPServer[size_t(account)] = combo_POPservers->currentText().trimmed();
    s.UserName[size_t(account)] = text_UserName->text();
    s.PassWord[size_t(account)] = text_Password->text();
    s.EmailPath = text_EmailPath->text();
    s.CheckTime = combo_CheckTime->currentText();
    s.MailNotify = check_MailNotify->isChecked();
    s.UseRas = !option_RAS[0]->isChecked();
    s.RasUserName = text_RasUserName->text().trimmed();
    s.RasPassword = text_RasPassword->text().trimmed();
    s.RasConnection = combo_RasConnections->currentText().trimmed();
    bool ok = false;
    const int first = combo_FirstHour->currentText().trimmed().toInt(&ok);
    if (ok && first >= 0 && first <= 23)
        s.RasTime1 = first;
    else
        logError(QStringLiteral("err_Prop_c_Ok_Click "), platform::ErrorKind::TypeMismatch);
    const int count = combo_LastHour->currentText().trimmed().toInt(&ok);
    if (ok && count >= 0 && count <= 24)
        s.RasTime2 = count;
    else
        logError(QStringLiteral("err_Prop_c_Ok_Click "), platform::ErrorKind::TypeMismatch);
    s.RasCheckLimited = check_LimitRas->isChecked() ? 1 : 0;
    saveSettings();
    saveFolders();
    Q_EMIT saved();
    close();
}

void form_Properties::c_Cancel_Click()
{
    SettingsRecord &s = Settings();
    s.NbrofAccounts = m_savedCount;
    s.POPServer = m_savedServers;
    s.UserName = m_savedUsers;
    s.PassWord = m_savedPasswords;
    s.Folders = m_savedFolders;
    close();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SettingsCodec.h"

#include "core/DateText.h"
#include "core/Password.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <tuple>

using platform::ErrorKind;
using S = SettingsRecord;
using Kind = SettingKind;

namespace {

// Where a key stands in the read, write and first-start orders; 0 where that order leaves it out. The account keys
// stand as one block, account after account, each account's keys in their own order within the block.
struct Places {
    int read, write, firstStart;
};

struct Row {
    const char *key;
    Kind kind;
    SettingField::Member member;
    const char *firstDefault;
    Places at;
};

// One row a key. The first start spells one key its own way.
const Row Rows[] = {
    {"StartNotes", Kind::Int16, &S::StartNotes, "1", {1, 1, 1}},
    {"StartClock", Kind::Int16, &S::StartClock, "1", {2, 2, 2}},
    {"StartCalc", Kind::Int16, &S::StartCalc, "1", {3, 3, 3}},
    {"StartEmail", Kind::Int16, &S::StartEmail, "1", {4, 4, 4}},
    {"CalcFont", Kind::Int16, &S::CalcFont, "3", {5, 5, 5}},
    {"CalcSize", Kind::Int16, &S::CalcSize, "2", {6, 6, 6}},
    {"ClockActive", Kind::Flag, &S::ClockActive, "False", {7, 7, 7}},
    {"ClockPeriod", Kind::Int16, &S::ClockPeriod, "5", {8, 8, 8}},
    {"ClockDateActive", Kind::Int16, &S::ClockDateActive, "1", {9, 9, 9}},
    {"ClockTimeServer", Kind::Int16, &S::ClockTimeServer, "0", {10, 10, 10}},
    {"NotesAllHidden", Kind::Flag, &S::NotesAllHidden, "False", {11, 11, 11}},
    {"NotesAllMinimized", Kind::Flag, &S::NotesAllMinimized, "False", {12, 12, 12}},
    {"LastGet", Kind::Date, &S::LastGet, "1990-01-01", {13, 13, 13}},
    {"ClockLastSyncTime", Kind::DateTime, &S::ClockLastSyncTime, "1990-01-01 00:00:00", {14, 14, 14}},
    {"PlaySound", Kind::Flag, &S::PlaySound, "True", {15, 15, 15}},
    {"RunningTime", Kind::Int16, &S::RunningTime, "1", {16, 34, 16}},
    {"cntControlPanel", Kind::Int16, &S::cntControlPanel, "0", {0, 35, 35}},
    {"cntEmail", Kind::Int16, &S::cntEmail, "0", {0, 36, 36}},
    {"cntNote", Kind::Int16, &S::cntNote, "0", {0, 37, 37}},
    {"cntContainer", Kind::Int16, &S::cntContainer, "0", {0, 38, 38}},
    {"CalcOnTop", Kind::Flag, &S::CalcOnTop, "True", {17, 16, 17}},
    {"ShowContainer", Kind::Flag, &S::ShowContainer, "True", {18, 17, 18}},
    {"NoteSender", Kind::Text, &S::NoteSender, "", {19, 18, 20}},
    {"totControl", Kind::Int32, &S::totControl, "0", {20, 39, 40}},
    {"totEmail", Kind::Int32, &S::totEmail, "0", {21, 40, 41}},
    {"totNote", Kind::Int32, &S::totNote, "0", {22, 41, 42}},
    {"totContainer", Kind::Int32, &S::totContainer, "0", {23, 42, 43}},
    {"totStart", Kind::Int32, &S::totStart, "0", {24, 43, 44}},
    {"totRunningTime", Kind::Int32, &S::totRunningTime, "0", {25, 45, 46}},
    {"totMissedAlarms", Kind::Int32, &S::totMissedAlarms, "0", {26, 44, 45}},
    {"AcceptNotes", Kind::Flag, &S::AcceptNotes, "True", {27, 19, 21}},
    {"RasUserName", Kind::Text, &S::RasUserName, "", {28, 23, 25}},
    {"RasPassword", Kind::Password, &S::RasPassword, "", {29, 24, 26}},
    {"UseRas", Kind::Flag, &S::UseRas, "False", {30, 25, 27}},
    {"RasConnection", Kind::Text, &S::RasConnection, "", {31, 26, 28}},
    {"RasTime1", Kind::Int16, &S::RasTime1, "23", {32, 27, 29}},
    {"RasTime2", Kind::Int16, &S::RasTime2, "7", {33, 28, 30}},
    {"RasCheckLimited", Kind::Int16, &S::RasCheckLimited, "0", {34, 29, 31}},
    {"UseCustomTimeserver", Kind::Flag, &S::UseCustomTimeserver, "False", {35, 20, 22}},
    {"CustomTimeserver", Kind::Text, &S::CustomTimeserver, "", {36, 21, 23}},
    {"HoursOff", Kind::Int16, &S::HoursOff, "0", {37, 22, 24}},
    {"EndByEnd", Kind::Flag, &S::EndByEnd, "False", {38, 46, 39}},
    {"NbrofAccounts", Kind::Int16, &S::NbrofAccounts, "1", {40, 33, 19}},
    {"EmailPath", Kind::Text, &S::EmailPath, "- Path to your emailprogram", {41, 31, 33}},
    {"CheckTime", Kind::Text, &S::CheckTime, "0 (=never)", {42, 32, 34}},
    // Ours, after the others; a first start leaves it out, and its absence means off.
    {"MailNotify", Kind::Flag, &S::MailNotify, "False", {43, 47, 0}},
};
const char FirstStartSpelling[] = "NbrOfAccounts";

// The account block's place in each order, and each account key's place within it.
constexpr Places AccountBlock{39, 30, 32};
struct AccountRow {
    const char *key;
    Kind kind;
    SettingField::Member member;
    const char *firstDefault; // followed by the account's number from the second account on
    Places within;
};
const AccountRow AccountRows[] = {
    {"POPServer", Kind::Text, &S::POPServer, "- Internetaddress to mailserver", {0, 2, 2}},
    {"UserName", Kind::Text, &S::UserName, "- Mailserver username", {1, 0, 0}},
    {"PassWord", Kind::Password, &S::PassWord, "", {2, 1, 1}},
    // Read, never written with the rest: the check stores it when a server teaches it.
    {"Encryption", Kind::Text, &S::Encryption, "", {3, -1, -1}},
    // Read, and written on its own by the properties where an account has folders: files without IMAP folders
    // stay as they were.
    {"Folders", Kind::Text, &S::Folders, "", {4, -1, -1}},
};

int place(const Places &p, SettingsOrder order)
{
    return order == SettingsOrder::Read ? p.read : order == SettingsOrder::Write ? p.write : p.firstStart;
}

QStringList orderedKeys(SettingsOrder order)
{
    // (place, account, place within the account block, key)
    std::vector<std::tuple<int, int, int, QString>> keyed;
    for (const Row &row : Rows)
        if (const int at = place(row.at, order); at > 0)
            keyed.emplace_back(at, 0, 0, QString::fromLatin1(row.key));
    for (int account = 0; account < MaxMailAccounts; ++account)
        for (const AccountRow &row : AccountRows)
            if (const int within = place(row.within, order); within >= 0)
                keyed.emplace_back(place(AccountBlock, order), account, within, accountKey(row.key, account));
    std::sort(keyed.begin(), keyed.end());
    QStringList keys;
    for (const auto &each : keyed) {
        const QString &key = std::get<3>(each);
        const bool respelled = order == SettingsOrder::FirstStart &&
                               key.compare(QLatin1StringView(FirstStartSpelling), Qt::CaseInsensitive) == 0;
        keys.append(respelled ? QString::fromLatin1(FirstStartSpelling) : key);
    }
    return keys;
}

std::optional<qint64> wholeNumber(const QString &raw)
{
    bool ok = false;
    const qint64 n = raw.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

} // namespace

QString accountKey(const char *name, int account)
{
    return QString::fromLatin1(name) + (account == 0 ? QString() : QString::number(account + 1));
}

const std::vector<SettingField> &settingFields()
{
    static const std::vector<SettingField> fields = [] {
        std::vector<SettingField> f;
        for (const Row &row : Rows)
            f.push_back({QString::fromLatin1(row.key), row.kind, row.member, QString::fromLatin1(row.firstDefault)});
        for (int account = 0; account < MaxMailAccounts; ++account)
            for (const AccountRow &row : AccountRows) {
                QString firstDefault = QString::fromLatin1(row.firstDefault);
                if (!firstDefault.isEmpty() && account > 0)
                    firstDefault += u' ' + QString::number(account + 1);
                f.push_back({accountKey(row.key, account), row.kind, row.member, firstDefault, account});
            }
        return f;
    }();
    return fields;
}

const SettingField *settingField(const QString &key)
{
    static const QHash<QString, const SettingField *> byKey = [] {
        QHash<QString, const SettingField *> map;
        for (const SettingField &f : settingFields())
            map.insert(f.key.toLower(), &f);
        return map;
    }();
    return byKey.value(key.toLower());
}

const QStringList &settingKeys(SettingsOrder order)
{
    static const std::array<QStringList, 3> orders = {
        orderedKeys(SettingsOrder::Read), orderedKeys(SettingsOrder::Write), orderedKeys(SettingsOrder::FirstStart)};
    return orders[size_t(order)];
}

QString &textMember(SettingsRecord &s, const SettingField &f)
{
    if (const auto *table = std::get_if<SettingField::Accounts S::*>(&f.member))
        return (s.**table)[size_t(f.account)];
    return s.*std::get<QString S::*>(f.member);
}

const QString &textMember(const SettingsRecord &s, const SettingField &f)
{
    return textMember(const_cast<SettingsRecord &>(s), f);
}

std::optional<ErrorKind> readSetting(SettingsRecord &s, const SettingField &f, const QString &raw)
{
    switch (f.kind) {
    case Kind::Int16:
    case Kind::Int32: {
        const auto n = wholeNumber(raw);
        if (!n)
            return ErrorKind::TypeMismatch;
        const qint64 limit = f.kind == Kind::Int16 ? 32767 : 2147483647;
        if (*n > limit || *n < -limit - 1)
            return ErrorKind::Overflow;
        s.*std::get<int S::*>(f.member) = int(*n);
        return std::nullopt;
    }
    case Kind::Flag: {
        const QString t = raw.trimmed();
        bool value = false;
        if (t.compare(u"True", Qt::CaseInsensitive) == 0)
            value = true;
        else if (t.compare(u"False", Qt::CaseInsensitive) != 0) {
            const auto n = wholeNumber(t);
            if (!n)
                return ErrorKind::TypeMismatch;
            value = *n != 0;
        }
        s.*std::get<bool S::*>(f.member) = value;
        return std::nullopt;
    }
    case Kind::Date: {
        const auto date = parseDate(raw);
        if (!date)
            return ErrorKind::TypeMismatch;
        s.*std::get<QDate S::*>(f.member) = *date;
        return std::nullopt;
    }
    case Kind::DateTime: {
        const auto dateTime = parseDateTime(raw);
        if (!dateTime)
            return ErrorKind::TypeMismatch;
        s.*std::get<QDateTime S::*>(f.member) = *dateTime;
        return std::nullopt;
    }
    case Kind::Text:
        textMember(s, f) = raw;
        return std::nullopt;
    case Kind::Password: {
        const auto decoded = DecodeStoredPassword(raw);
        if (!decoded)
            return ErrorKind::InvalidCall;
        textMember(s, f) = *decoded;
        return std::nullopt;
    }
    }
    return ErrorKind::TypeMismatch;
}

std::optional<QString> settingText(const SettingsRecord &s, const SettingField &f)
{
    switch (f.kind) {
    case Kind::Int16:
    case Kind::Int32:
        return QString::number(s.*std::get<int S::*>(f.member));
    case Kind::Flag:
        return s.*std::get<bool S::*>(f.member) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Date:
        return formatDate(s.*std::get<QDate S::*>(f.member));
    case Kind::DateTime:
        return formatDateTime(s.*std::get<QDateTime S::*>(f.member));
    case Kind::Text:
        return textMember(s, f);
    case Kind::Password:
        return EncodeStoredPassword(textMember(s, f));
    }
    return std::nullopt;
}

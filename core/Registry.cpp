// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Registry.h"

#include "core/ErrorLog.h"
#include "core/Settings.h"
#include "platform/IniStore.h"

namespace {

const QString DwordPrefix = QStringLiteral("dword:");

QString groupOf(const QString &keyPath)
{
    QString path = keyPath;
    path.replace(u'\\', u'/');
    while (path.endsWith(u'/'))
        path.chop(1);
    return u"Registry/" + path;
}

} // namespace

std::optional<qint32> Reg_QueryValue(const QString &keyPath, const QString &valueName)
{
    const auto raw = SettingsStore().value(groupOf(keyPath), valueName);
    if (!raw)
        return std::nullopt;
    const QString text = raw->startsWith(DwordPrefix) ? raw->mid(DwordPrefix.size()) : *raw;
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok) {
        LogError(QStringLiteral("err_Bas_Reg_QueryValue "), platform::ErrorKind::TypeMismatch);
        return std::nullopt;
    }
    return value;
}

void Reg_SetKeyValue(const QString &keyPath, const QString &valueName, const QString &value, RegType type)
{
    if (type == RegType::Dword) {
        bool ok = false;
        const qint32 number = value.trimmed().toInt(&ok);
        if (!ok) {
            LogError(QStringLiteral("err_Bas_Reg_SetKeyValue "), platform::ErrorKind::TypeMismatch);
            return;
        }
        SettingsStore().setValue(groupOf(keyPath), valueName, DwordPrefix + QString::number(number));
    } else {
        SettingsStore().setValue(groupOf(keyPath), valueName, value);
    }
    if (!SettingsStore().sync())
        LogError(QStringLiteral("err_Bas_Reg_SetKeyValue "), platform::ErrorKind::PathAccess);
}

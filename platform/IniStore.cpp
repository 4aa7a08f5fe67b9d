// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace platform {

namespace {
constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

IniStore::IniStore(const QString &filePath)
{
    // Create the folder and an empty file with owner-only rights before QSettings writes anything, so the
    // passwords are never readable by others, not even for a moment.
    const QFileInfo info(filePath);
    QDir().mkpath(info.absolutePath());
    if (!info.exists()) {
        const mode_t old = ::umask(077);
        QFile file(filePath);
        (void)file.open(QIODevice::WriteOnly);
        ::umask(old);
    }
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    protectFile();
}

IniStore::~IniStore() = default;

QString IniStore::storedKey(const QString &group, const QString &key) const
{
    m_settings->beginGroup(group);
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    for (const QString &k : keys) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return k;
    }
    return {};
}

std::optional<QString> IniStore::value(const QString &group, const QString &key) const
{
    const QString stored = storedKey(group, key);
    if (stored.isEmpty())
        return std::nullopt;
    const QVariant v = m_settings->value(group + u'/' + stored);
    // A hand-edited value with an unquoted comma comes back as a list; it was meant as one text.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

void IniStore::setValue(const QString &group, const QString &key, const QString &value)
{
    const QString stored = storedKey(group, key);
    m_settings->setValue(group + u'/' + (stored.isEmpty() ? key : stored), value);
}

bool IniStore::sync()
{
    m_settings->sync();
    protectFile();
    return m_settings->status() == QSettings::NoError;
}

QString IniStore::filePath() const
{
    return m_settings->fileName();
}

void IniStore::protectFile() const
{
    QFile file(m_settings->fileName());
    if (file.exists())
        file.setPermissions(OwnerOnly);
}

} // namespace platform

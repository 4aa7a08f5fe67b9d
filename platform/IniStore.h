// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace platform {

// Named text values in groups, kept in one INI file that only its owner may read (it holds passwords).
// Key names match without regard to letter case: a lookup finds a key whatever its stored spelling, and a
// write replaces that key instead of adding a second spelling.
class IniStore {
public:
    explicit IniStore(const QString &filePath);
    ~IniStore();

    std::optional<QString> value(const QString &group, const QString &key) const;
    void setValue(const QString &group, const QString &key, const QString &value);
    // Writes pending changes to disk; false when the file could not be written.
    bool sync();
    QString filePath() const;

private:
    QString storedKey(const QString &group, const QString &key) const;
    void protectFile() const;

    std::unique_ptr<QSettings> m_settings;
};

} // namespace platform

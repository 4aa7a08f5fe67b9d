// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the settings codec as the settings file, and checks that whatever the read made of them
// survives a write and a second read unchanged: a preference must not drift from one start to the next just because
// the suite saved it. The codec alone: no keyring, window or clock behind it.

#include "core/SettingsCodec.h"
#include "platform/IniStore.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/time.h>
#include <unistd.h>

namespace {

QString scratchRoot;
QString settingsFile;
std::string settingsPath;
// Each input gets its own made-up modification time (seconds after 2001-09-09), so QSettings' per-process file
// cache can never take a freshly written input for the file it parsed earlier.
time_t nextStamp = 1'000'000'000;

void removeScratch()
{
    if (!scratchRoot.isEmpty())
        QDir(scratchRoot).removeRecursively();
}

void writeInput(const uint8_t *data, size_t size)
{
    const int fd = ::open(settingsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        std::perror(settingsPath.c_str());
        std::abort();
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            std::perror("writing the settings file");
            std::abort();
        }
        done += size_t(n);
    }
    const timeval times[2] = {{nextStamp, 0}, {nextStamp, 0}};
    ++nextStamp;
    ::futimes(fd, times);
    ::close(fd);
}

template <typename T> QString shown(const T &value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

[[noreturn]] void fail(const QString &key, const QString &first, const QString &second)
{
    std::fprintf(stderr, "settings round trip changed %s:\n  first read:  %s\n  second read: %s\n",
                 key.toUtf8().constData(), first.toUtf8().constData(), second.toUtf8().constData());
    std::abort();
}

// Every field the read fills in must come back as it was.
void expectSameRecord(const SettingsRecord &a, const SettingsRecord &b)
{
    for (const QString &key : settingKeys(SettingsOrder::Read)) {
        const SettingField &f = *settingField(key);
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(a.*member)>;
                if constexpr (std::is_same_v<Value, SettingField::Accounts>) {
                    const auto &first = (a.*member)[size_t(f.account)];
                    const auto &second = (b.*member)[size_t(f.account)];
                    if (first != second)
                        fail(f.key, shown(first), shown(second));
                } else if (a.*member != b.*member) {
                    fail(f.key, shown(a.*member), shown(b.*member));
                }
            },
            f.member);
    }
}

SettingsRecord readRecord()
{
    SettingsRecord record;
    platform::IniStore store(settingsFile);
    for (const QString &key : settingKeys(SettingsOrder::Read))
        readSetting(record, *settingField(key), store.value(SettingsGroup, key).value_or(QString()));
    return record;
}

// A file the store cannot parse is left as it is (the suite logs that); the next read then gives the same again.
void writeRecord(const SettingsRecord &record)
{
    platform::IniStore store(settingsFile);
    for (const QString &key : settingKeys(SettingsOrder::Write))
        if (const auto text = settingText(record, *settingField(key)))
            store.setValue(SettingsGroup, key, *text);
    store.sync();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A private home for the settings file, so the fuzzer never touches the user's own. It is
    // removed at a normal exit only; after a crash it stays behind. Without a TMPDIR, RAM is preferred: every save
    // syncs the file, which on a real disk costs more than all the rest of an input.
    QString base = QFile::decodeName(qgetenv("TMPDIR"));
    if (base.isEmpty())
        base = ::access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm") : QStringLiteral("/tmp");
    QByteArray pattern = QFile::encodeName(base + u"/tarnibe-fuzz-settings-XXXXXX");
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    scratchRoot = QFile::decodeName(pattern);
    std::atexit(removeScratch);

    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    settingsFile = scratchRoot + u"/settings.ini";
    settingsPath = QFile::encodeName(settingsFile).toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeInput(data, size);
    const SettingsRecord first = readRecord();
    writeRecord(first);
    expectSameRecord(first, readRecord());
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the start-up settings read as the settings file, and checks that whatever the read
// made of them survives a write and a second read unchanged: a preference must not drift from one start to the
// next just because the suite saved it.

#include "core/Settings.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"

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

// The file is what is fuzzed: passwords stay in it, as on a desktop without a keyring.
class NoKeyring final : public platform::SecretStore {
public:
    bool available() override { return false; }
    void read(const QString &, platform::SecretDone) override {}
    void write(const QString &, const QString &, platform::SecretDone) override {}
    void remove(const QString &, platform::SecretDone) override {}
};

QString scratchRoot;
std::string settingsPath;
std::string errorLogPath;
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

template <typename T> void expectSame(const char *name, const T &first, const T &second)
{
    if (first == second)
        return;
    std::fprintf(stderr, "settings round trip changed %s:\n  first read:  %s\n  second read: %s\n", name,
                 shown(first).toUtf8().constData(), shown(second).toUtf8().constData());
    std::abort();
}

// Every field SetGlobalVariables reads. RunningTime and totRunningTime are included: WriteGlobalVariables only
// recounts them from StartMoment, which is never set here. The cnt* counters are written but never read back,
// and ComputerName comes from the host, not the file.
void expectSameRecord(const SettingsRecord &a, const SettingsRecord &b)
{
#define SAME(field) expectSame(#field, a.field, b.field)
    SAME(StartNotes);
    SAME(StartClock);
    SAME(StartCalc);
    SAME(StartEmail);
    SAME(CalcFont);
    SAME(CalcSize);
    SAME(ClockActive);
    SAME(ClockPeriod);
    SAME(ClockDateActive);
    SAME(ClockTimeServer);
    SAME(NotesAllHidden);
    SAME(NotesAllMinimized);
    SAME(LastGet);
    SAME(ClockLastSyncTime);
    SAME(PlaySound);
    SAME(RunningTime);
    SAME(CalcOnTop);
    SAME(ShowContainer);
    SAME(NoteSender);
    SAME(totControl);
    SAME(totEmail);
    SAME(totNote);
    SAME(totContainer);
    SAME(totStart);
    SAME(totRunningTime);
    SAME(totMissedAlarms);
    SAME(AcceptNotes);
    SAME(RasUserName);
    SAME(RasPassword);
    SAME(UseRas);
    SAME(RasConnection);
    SAME(RasTime1);
    SAME(RasTime2);
    SAME(RasCheckLimited);
    SAME(UseCustomTimeserver);
    SAME(CustomTimeserver);
    SAME(HoursOff);
    SAME(EndByEnd);
    SAME(NbrofAccounts);
    SAME(EmailPath);
    SAME(CheckTime);
    SAME(totRunningTimeAtStart);
#undef SAME
    for (int i = 0; i < MaxMailAccounts; ++i) {
        const std::string n = std::to_string(i + 1);
        expectSame(("POPServer #" + n).c_str(), a.POPServer[size_t(i)], b.POPServer[size_t(i)]);
        expectSame(("UserName #" + n).c_str(), a.UserName[size_t(i)], b.UserName[size_t(i)]);
        expectSame(("PassWord #" + n).c_str(), a.PassWord[size_t(i)], b.PassWord[size_t(i)]);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A private home for the settings file and the error log, so the fuzzer never touches the user's own. It is
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
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratchRoot + u"/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratchRoot + u"/data"));
    std::atexit(removeScratch);

    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    static NoKeyring noKeyring;
    platform::installSecretStore(&noKeyring);

    // Opening the store once creates the settings folder; both paths are fixed here to keep the loop lean.
    SettingsStore();
    ResetSettings();
    settingsPath = QFile::encodeName(platform::settingsFile()).toStdString();
    errorLogPath = QFile::encodeName(platform::dataFile(QStringLiteral("error.log"))).toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeInput(data, size);

    ResetSettings();
    IsFirstStart();
    SetGlobalVariables();
    const SettingsRecord first = Settings();
    WriteGlobalVariables();

    ResetSettings();
    if (IsFirstStart()) {
        std::fprintf(stderr, "settings file has no StartNotes after the settings were written\n");
        std::abort();
    }
    SetGlobalVariables();
    expectSameRecord(first, Settings());

    // Leaves no open store behind, so the next input is read from its own file.
    ResetSettings();
    ::unlink(errorLogPath.c_str());
    return 0;
}

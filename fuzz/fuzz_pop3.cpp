// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the readers of POP3 answers, as a broken or hostile mail server would send them. A
// multi-line answer read back must survive being written again (dot-stuffed, CR LF, the final dot) unchanged, and
// no reader may crash or read a count below zero.

#include "mail/MailText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const std::optional<PopStatusLine> status = ParsePopStatus(bytes)) {
        if (const std::optional<int> count = ParseStatCount(status->text); count && *count < 0)
            std::abort();
    }
    const std::optional<QList<QByteArray>> lines = ParseMultiLine(bytes);
    if (!lines)
        return 0;
    QByteArray written;
    for (const QByteArray &line : *lines)
        written += (line.startsWith('.') ? "." + line : line) + "\r\n";
    written += ".\r\n";
    if (ParseMultiLine(written) != lines) {
        std::fprintf(stderr, "a multi-line answer changed when written again\n");
        std::abort();
    }
    if (const std::optional<QStringList> ids = ParseUidl(*lines, int(lines->size()));
        ids && ids->size() != lines->size())
        std::abort();
    return 0;
}

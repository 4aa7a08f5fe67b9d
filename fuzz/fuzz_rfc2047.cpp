// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the header reader and the encoded-word decoder, as a hostile message would carry them.
// Text without encoded words must come back as the plain decoding of its bytes; nothing may crash.

#include "mail/MailText.h"
#include "platform/TextFiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = DecodeEncodedWords(bytes);
    if (!bytes.contains("=?") && decoded != platform::decodeText(bytes)) {
        std::fprintf(stderr, "text without encoded words changed\n");
        std::abort();
    }
    HeaderField(bytes, "Subject");
    HeaderField(bytes, "From");
    return 0;
}

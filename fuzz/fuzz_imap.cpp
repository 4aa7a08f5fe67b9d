// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the reader of IMAP responses, as a broken or hostile mail server would send them: once
// whole and once in pieces of a size the input's length picks. Both must give out the same responses and end in the
// same state, however a literal or a line falls across the pieces, and nothing may crash or hold more than the
// reader's limit.

#include "mail/ImapResponse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QList<ImapResponse> drain(ImapReader &reader)
{
    QList<ImapResponse> responses;
    while (std::optional<ImapResponse> response = reader.next()) {
        // What the client asks of every response.
        (void)response->capabilities();
        (void)response->codeNumber();
        if (const ImapValue *uid = response->fetchItem("UID"))
            (void)uid->number();
        (void)response->fetchItem("BODY[");
        responses.append(std::move(*response));
    }
    return responses;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ImapReader whole;
    whole.append(bytes);
    const QList<ImapResponse> once = drain(whole);

    ImapReader pieces;
    QList<ImapResponse> piecewise;
    const qsizetype step = qsizetype(size % 61) + 1;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        pieces.append(bytes.sliced(at, std::min(step, bytes.size() - at)));
        piecewise += drain(pieces);
    }
    if (once != piecewise || whole.failed() != pieces.failed()) {
        std::fprintf(stderr, "the responses differ when the bytes come in pieces of %lld\n", (long long)step);
        std::abort();
    }
    return 0;
}

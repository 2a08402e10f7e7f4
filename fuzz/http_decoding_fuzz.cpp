// decodedResponse on whatever a server sends: the header comes back as it came, the whole stays
// within the cap, a body only in chunks is made of the chunks' bytes, and the same input decodes
// the same way. Input: cap byte (the cap is 64 + 16 times it), then the response.

#include "platform/http_decoding.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype cap = 64 + 16 * qsizetype(data[0]);
    const QByteArrayView response = inputView(data + 1, size - 1);
    const std::optional<QByteArray> decoded = decodedResponse(response, cap);
    CHECK(decoded == decodedResponse(response, cap));
    if (!decoded)
        return 0;
    const qsizetype headerEnd = response.indexOf("\r\n\r\n") + 4;
    CHECK(headerEnd >= 4 && decoded->startsWith(response.first(headerEnd)), response, *decoded);
    CHECK(decoded->size() <= std::max(cap, headerEnd), response, decoded->size());
    // Without compression every decoded byte was sent: joined chunks are never longer than the body.
    if (!response.first(headerEnd).toByteArray().toLower().contains("content-encoding"))
        CHECK(decoded->size() <= response.size(), response, *decoded);
    return 0;
}

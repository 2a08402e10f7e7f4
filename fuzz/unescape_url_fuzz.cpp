// UnescapeURL against the plain decoder of the tests' reference. Input: two texts split at the
// first NUL, decoded one after the other into the same buffer.

#include "platform/url_escape.h"
#include "search/search_reference.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string buffer = "left over from an earlier link";
    for (const QByteArrayView text : fields(inputView(data, size), 2)) {
        const QByteArrayView out = UnescapeURL(text, buffer);
        const std::string expected = ref::unescaped(text.toByteArray().toStdString());
        CHECK(out == QByteArrayView(expected), text, out, expected);
        CHECK(out.size() <= text.size(), text, out);
        if (!text.contains('%'))
            CHECK(out.data() == text.data() && out.size() == text.size(), text, out);
    }
    return 0;
}

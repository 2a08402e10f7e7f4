// ExpandTemplate against the rules of its header restated plainly. Input: a byte whose low bit
// is keepOptional, then the text and the values of %h %o %u %p %l %r %f, split at NULs.

#include "ftpclient/detail/client_template.h"

#include "fuzz_check.h"

namespace {

std::string expanded(const std::string &text, const std::vector<std::string> &values, bool keepOptional)
{
    // Sections first: kept, every "[" goes with the first "]" standing after it; dropped, from
    // "[" through the next "]", or to the end without one.
    std::string body;
    int open = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (keepOptional && (text[i] == '[' || (text[i] == ']' && open > 0)))
            open += text[i] == '[' ? 1 : -1;
        else if (!keepOptional && text[i] == '[')
            i = text.find(']', i) == std::string::npos ? text.size() : text.find(']', i);
        else
            body += text[i];
    }
    // Then "%" and the character after it: a value, or nothing.
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '%') {
            out += body[i];
            continue;
        }
        const std::size_t code = i + 1 < body.size() ? std::string("houplrf").find(body[++i]) : std::string::npos;
        if (code != std::string::npos)
            out += values[code];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool keepOptional = data[0] & 1;
    const std::vector<QByteArrayView> in = fields(inputView(data + 1, size - 1), 8);
    std::vector<std::string> values;
    for (std::size_t i = 1; i < in.size(); ++i)
        values.push_back(in[i].toByteArray().toStdString());
    const QByteArray out = ExpandTemplate(in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7], keepOptional);
    const std::string expected = expanded(in[0].toByteArray().toStdString(), values, keepOptional);
    CHECK(out == QByteArrayView(expected), in[0], out, expected);
    if (!in[0].contains('%') && !in[0].contains('[') && !in[0].contains(']'))
        CHECK(out == in[0], in[0], out);
    return 0;
}

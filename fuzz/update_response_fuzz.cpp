// ParseUpdateResponse in each mode: a pure function, a failure says why, and nothing it offers
// would break settings.dat. LfToCrLf on the same bytes. Input: mode byte ('1' version,
// '2' engines, '3' clients), then the response.

#include "ftpclient/client_registry.h"
#include "platform/byte_text.h"
#include "update/update_response.h"

#include <QSet>

#include "fuzz_check.h"

namespace {

bool safe(const QString &text)
{
    return !hasControlByte(text.toLatin1());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const UpdateMode mode = UpdateMode((data[0] + 2) % 3 + 1);
    const QByteArrayView received = inputView(data + 1, size - 1);
    const UpdateAnswer answer = ParseUpdateResponse(received, mode), twice = ParseUpdateResponse(received, mode);
    CHECK(answer.ok == twice.ok && answer.failure == twice.failure && answer.version == twice.version
              && answer.linkAddress == twice.linkAddress && answer.date == twice.date && answer.engines == twice.engines
              && answer.clients == twice.clients, received);
    CHECK(answer.ok == answer.failure.isEmpty(), received, answer.failure);

    QSet<QString> templates;
    for (const EngineCandidate &e : answer.engines) {
        CHECK(!e.name.isEmpty() && safe(e.name) && safe(e.url) && safe(e.query), received, e.name, e.url, e.query);
        CHECK(!templates.contains(e.query), received, e.query);
        templates.insert(e.query);
    }
    for (const ClientCandidate &c : answer.clients) {
        CHECK(isClientName(c.name) && safe(c.args), received, c.name, c.args);
        for (qsizetype lf = c.script.indexOf(u'\n'); lf >= 0; lf = c.script.indexOf(u'\n', lf + 1))
            CHECK(lf > 0 && c.script[lf - 1] == u'\r', received, c.script);
    }
    CHECK(mode == UpdateMode::Engines || answer.engines.isEmpty(), received);
    CHECK(mode == UpdateMode::Clients || answer.clients.isEmpty(), received);

    // LfToCrLf: a CR before every LF, and nothing else added.
    QByteArray text = received.toByteArray();
    LfToCrLf(text);
    QByteArray undone = text;
    CHECK(undone.replace("\r\n", "\n") == received, received, text);
    for (qsizetype lf = text.indexOf('\n'); lf >= 0; lf = text.indexOf('\n', lf + 1))
        CHECK(lf > 0 && text[lf - 1] == '\r', received, text);
    if (!received.contains('\n'))
        CHECK(text == received, received, text);
    return 0;
}

// The page scanner against the plain rules of the tests' reference, with steps of a few bytes
// now and then, so that a link or a match cut by a step's end is resumed.
// Input: mode byte ('0' FTP, '1' HTTP, '2' All), budget byte (its low 6 bits; 0: the whole page
// at once), search string, NUL, page.

#include "search/detail/page_scanner.h"
#include "search/search_reference.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int mode = data[0] % 3 + 1;
    const qsizetype budget = (data[1] & 63) ? data[1] & 63 : qsizetype(1) << 20;
    const std::vector<QByteArrayView> in = fields(inputView(data + 2, size - 2), 2);
    const std::string search = in[0].toByteArray().toStdString();
    const std::string page = in[1].toByteArray().toStdString();

    PageScanner scanner(in[1], ParseMode(mode), in[0]);
    PageScanner::Link link;
    ref::Links accepted;
    for (PageScanner::Step step; (step = scanner.next(link, budget)) != PageScanner::Step::Done;) {
        if (step != PageScanner::Step::Found)
            continue;
        const std::string text = link.text.toByteArray().toStdString();
        const bool taken = !ref::hasControl(text) && (!link.isHTTP || ref::httpTaken(text, search));
        CHECK(link.accepted == taken, text, link.isHTTP);
        if (link.accepted)
            accepted.emplace_back(text, link.isHTTP);
    }
    const ref::Links expected = ref::extracted(page, mode, search);
    CHECK(accepted == expected, accepted, expected);
    return 0;
}

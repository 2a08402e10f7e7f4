#include "search/detail/page_scanner.h"

#include "search/detail/link_rules.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr qsizetype kHrefSize = 6; // href= and the quote
// href='ftp://: no match can start later than this many bytes before the end.
constexpr qsizetype kShortestMatch = kHrefSize + 6;
constexpr std::size_t kPrefetchDistance = 8;

} // namespace

PageScanner::PageScanner(QByteArrayView page, ParseMode mode, QByteArrayView searchString)
    : m_page(page)
    , m_mode(mode)
    , m_search(searchString.toByteArray())
    , m_words(SplitWords(m_search))
{
    if (m_mode < ParseMode::FTP || m_mode > ParseMode::All)
        m_phase = Phase::Done;
}

void PageScanner::collect(qsizetype end)
{
    const char *p = m_page.data();
    const qsizetype size = m_page.size();
    const qsizetype stop = std::min(end, size - kShortestMatch + 1);

    // A candidate is checked a word at a time: the letters are folded to lower case by setting
    // their 0x20 bit, the rest compares exactly. Little-endian words of the expected text:
    static constexpr quint64 kLetters8 = 0x2020'0000'2020'2020ULL; // "href" _ _ and two scheme letters
    static constexpr quint32 kFtpTail = 0x2f2f'3a70U;               // "p://"
    static constexpr quint32 kFtpTailLetters = 0x0000'0020U;
    static constexpr quint32 kHttpTail = 0x2f3a'7074U;              // "tp:/" (and "/" after it)
    static constexpr quint32 kHttpTailLetters = 0x0000'2020U;
    const auto head = [](char quote, char s0, char s1) {
        return quint64('h') | quint64('r') << 8 | quint64('e') << 16 | quint64('f') << 24 | quint64('=') << 32
            | quint64(static_cast<unsigned char>(quote)) << 40 | quint64(s0) << 48 | quint64(s1) << 56;
    };
    const quint64 heads[2][2] = {{head('"', 'f', 't'), head('\'', 'f', 't')}, {head('"', 'h', 't'), head('\'', 'h', 't')}};
    const auto consider = [&](qsizetype at) {
        quint64 word;
        quint32 tail;
        std::memcpy(&word, p + at, 8);
        std::memcpy(&tail, p + at + 8, 4);
        word |= kLetters8;
        for (const int kind : {Double, Single}) {
            if (word == heads[FTP][kind] && (tail | kFtpTailLetters) == kFtpTail) {
                m_matches[FTP][kind].push_back(at);
                return;
            }
            if (word == heads[HTTP][kind] && (tail | kHttpTailLetters) == kHttpTail && at + 13 <= size
                && p[at + 12] == '/') {
                m_matches[HTTP][kind].push_back(at);
                return;
            }
        }
    };

    // A stretch of blocks is marked before any start in it is considered, so that the sweep's
    // loop makes no call and keeps its constants in registers.
    qsizetype i = m_collected;
    const byteScan::Path path = byteScan::sweepPath();
    quint64 starts[byteScan::kStretch];
    for (int blocks; (blocks = byteScan::markHrefStarts(path, p, i, stop, size, starts)) > 0;) {
        for (int k = 0; k < blocks; ++k) {
            for (quint64 hits = starts[k]; hits != 0; hits &= hits - 1)
                consider(i + byteScan::kBlock * k + __builtin_ctzll(hits));
        }
        i += byteScan::kBlock * blocks;
    }
    for (; i < stop; ++i) {
        if (p[i + 4] == '=')
            consider(i);
    }
    m_collected = std::max(end, m_collected);
}

void PageScanner::beginPass(Phase phase)
{
    m_phase = phase;
    m_cursor = 0;
    m_next = {};
}

void PageScanner::endPass()
{
    if (m_phase == Phase::FTP && m_mode == ParseMode::All) {
        beginPass(Phase::HTTP);
        return;
    }
    m_phase = Phase::Done;
    m_matches = {};
}

PageScanner::Step PageScanner::next(Link &link, qsizetype budget)
{
    for (;;) {
        switch (m_phase) {
        case Phase::Done:
            return Step::Done;
        case Phase::Collect:
            collect(std::min(m_page.size(), m_collected + std::max<qsizetype>(budget, 1)));
            if (m_collected < m_page.size())
                return Step::Pending;
            beginPass(m_mode == ParseMode::HTTP ? Phase::HTTP : Phase::FTP);
            continue;
        case Phase::FTP:
        case Phase::HTTP:
            break;
        }

        const Scheme scheme = m_phase == Phase::FTP ? FTP : HTTP;
        if (m_linkStart < 0) {
            // Double-quoted matches first: a single-quoted one counts only once none is left.
            qsizetype at = -1;
            for (const Quote kind : {Double, Single}) {
                const std::vector<qsizetype> &matches = m_matches[scheme][kind];
                std::size_t &next = m_next[kind];
                while (next < matches.size() && matches[next] < m_cursor)
                    ++next;
                if (next < matches.size()) {
                    at = matches[next];
                    m_linkQuote = kind == Double ? '"' : '\'';
                    // The page was read long ago by collect(): fetch the links a few steps ahead.
                    if (next + kPrefetchDistance < matches.size()) {
                        const char *ahead = m_page.data() + matches[next + kPrefetchDistance];
                        __builtin_prefetch(ahead);
                        __builtin_prefetch(ahead + 64);
                    }
                    break;
                }
            }
            if (at < 0) {
                endPass();
                continue;
            }
            m_linkStart = m_linkSearched = at + kHrefSize;
            m_linkBytes = {};
        }
        const qsizetype until = std::min(m_page.size(), m_linkSearched + std::max<qsizetype>(budget, 1));
        if (!byteScan::scanLink(m_page, m_linkSearched, until, m_linkQuote, m_linkBytes)) {
            m_linkSearched = until;
            if (until < m_page.size())
                return Step::Pending;
            // The rest of the page is inside that link: nothing after it can be told apart in this
            // pass. The other scheme's pass still reads the whole page.
            m_linkStart = -1;
            endPass();
            continue;
        }
        byteScan::LinkBytes found = m_linkBytes;
        const qsizetype start = std::exchange(m_linkStart, -1);
        m_cursor = found.end + 1;
        link.text = m_page.sliced(start, found.end - start);
        if (found.percent) {
            link.text = UnescapeURL(link.text, m_buffer);
            found.control = HasControlCharacter(link.text);
            found.questionMark = link.text.contains('?');
        }
        link.isHTTP = scheme == HTTP;
        link.accepted = !found.control && (scheme == FTP || IsHTTPFileLink(link.text, found.questionMark, m_words));
        return Step::Found;
    }
}

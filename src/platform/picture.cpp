#include "platform/picture.h"

#include <array>

namespace {

constexpr std::array<const char16_t *, 10> kKeys = {
    u"",     u"Engine", u"Working",      u"Path",     u"File",
    u"Dead", u"QuestionMark", u"Untested", u"Flag", u"CheckMark",
};

} // namespace

QString pictureKey(Picture picture)
{
    const auto at = static_cast<std::size_t>(picture);
    return at < kKeys.size() ? QString::fromUtf16(kKeys[at]) : QString();
}

Picture pictureFromKey(QStringView key)
{
    for (std::size_t at = 1; at < kKeys.size(); ++at) {
        if (key == QStringView(kKeys[at]))
            return static_cast<Picture>(at);
    }
    return Picture::None;
}

#include "app/cli.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

// Control bytes, DEL, quote and backslash: JSON's short escape where it has one, "\u00XX" otherwise.
TEST(JsonString, EscapesEachByteThatCannotStandInAString)
{
    const QHash<int, QByteArray> shortForms{{'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}};
    for (int b = 0; b < 128; ++b) {
        if (b >= 0x20 && b != 0x7f && !shortForms.contains(b)) continue;
        SCOPED_TRACE(b);
        const QByteArray escape = shortForms.value(b, "\\u00" + QByteArray::number(b, 16).rightJustified(2, '0'));
        EXPECT_EQ(jsonString(QByteArray(1, char(b))), '"' + escape + '"');
    }
}

// Not decoded as UTF-8: a link's bytes are not always UTF-8, and each must come back whole.
TEST(JsonString, GivesEveryByteBackAsTheCharacterOfItsNumber)
{
    QByteArray every;
    for (int b = 0; b < 256; ++b) every += char(b);
    EXPECT_EQ(QJsonDocument::fromJson("[" + jsonString(every) + "]").array().at(0).toString().toLatin1(), every);
}

} // namespace

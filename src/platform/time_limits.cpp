#include "platform/time_limits.h"

#include <QByteArray>
#include <QList>

#include <limits>

std::optional<TimeLimits> TimeLimits::fromText(QByteArrayView text, QString *error)
{
    TimeLimits limits;
    const auto refuse = [error](const QByteArray &pair) {
        if (error)
            *error = QStringLiteral("\"%1\" is not NAME=NUMBER with a known name and a whole number in range")
                         .arg(QString::fromLatin1(pair));
        return std::nullopt;
    };
    for (const QByteArray &pair : text.toByteArray().split(',')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = pair.left(equals).trimmed();
        bool ok = false;
        const qlonglong value = equals < 0 ? 0 : pair.mid(equals + 1).trimmed().toLongLong(&ok);
        // Timers count milliseconds in an int.
        const bool isTime = name != "pageCap";
        if (!ok || value < (name == "verifyPause" ? 0 : 1) || (isTime && value > std::numeric_limits<int>::max()))
            return refuse(pair);
        const std::chrono::milliseconds time(value);
        if (name == "pageSilence")
            limits.pageSilence = time;
        else if (name == "pageTotal")
            limits.pageTotal = time;
        else if (name == "pageCap")
            limits.pageCap = value;
        else if (name == "serverTest")
            limits.serverTest = time;
        else if (name == "verifyPause")
            limits.verifyPause = time;
        else if (name == "updateSilence")
            limits.updateSilence = time;
        else if (name == "updateTotal")
            limits.updateTotal = time;
        else
            return refuse(pair);
    }
    return limits;
}

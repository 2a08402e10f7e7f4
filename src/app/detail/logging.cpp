#include "app/detail/logging.h"

#include <cstdio>

// Silent by default, as we log no criticals: --verbose or QT_LOGGING_RULES="kestrune.*=true" turns it on.
Q_LOGGING_CATEGORY(lcApp, "kestrune.app", QtCriticalMsg)

namespace {

// Qt's own handler may send messages to the system journal when standard error is no terminal;
// a verbose run is read where it was started.
void toStandardError(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

} // namespace

void enableVerboseLogging()
{
    QLoggingCategory::setFilterRules(QStringLiteral("kestrune.*=true"));
    qSetMessagePattern(QStringLiteral("kestrune: %{category}: %{message}"));
    qInstallMessageHandler(toStandardError);
}

#include "search/engine_outcome.h"

QString outcomeSummary(const EngineOutcome &outcome)
{
    QString what = outcome.failure;
    if (what.isEmpty())
        what = outcome.statusLine.isEmpty() ? QStringLiteral("no status line") : QString::fromLatin1(outcome.statusLine);
    // Joined, not arg()-filled: a status line is the server's text and may hold "%1".
    return what + QLatin1String("; ") + QString::number(outcome.pageBytes) + QLatin1String(" bytes, ") + QString::number(outcome.links)
           + QLatin1String(" links, ") + QString::number(outcome.results) + QLatin1String(" results, ")
           + QString::number(static_cast<double>(outcome.milliseconds) / 1000.0, 'f', 1) + QLatin1String(" s");
}

QString outcomeToolTip(const EngineOutcome &outcome)
{
    QString tip = outcomeSummary(outcome);
    if (!outcome.lastAddress.isEmpty())
        tip += QStringLiteral("\nfetched from ") + QString::fromLatin1(outcome.lastAddress);
    return tip;
}

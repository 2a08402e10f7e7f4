#include "search/file_facts.h"

#include <QDateTime>

QByteArray verifyOutcomeText(VerifyOutcome outcome)
{
    switch (outcome) {
    case VerifyOutcome::Alive:
        return QByteArrayLiteral("alive");
    case VerifyOutcome::Dead:
        return QByteArrayLiteral("dead");
    case VerifyOutcome::LoginRefused:
        return QByteArrayLiteral("login refused");
    case VerifyOutcome::None:
        break;
    }
    return {};
}

QByteArray isoDate(qint64 modified)
{
    if (modified == FileFact::kNoDate)
        return {};
    return QDateTime::fromSecsSinceEpoch(modified, Qt::UTC).toString(Qt::ISODate).toLatin1();
}

VerifyOutcome FileFacts::outcome(int record) const
{
    const auto found = m_servers.constFind(record);
    return found == m_servers.cend() ? VerifyOutcome::None : found->outcome;
}

void FileFacts::setOutcome(int record, VerifyOutcome outcome)
{
    m_servers[record].outcome = outcome;
}

FileFact FileFacts::file(int record, int entry) const
{
    const auto found = m_servers.constFind(record);
    if (found == m_servers.cend() || entry < 1 || std::size_t(entry) > found->files.size())
        return {};
    return found->files[std::size_t(entry) - 1];
}

void FileFacts::setFile(int record, int entry, FileFact fact)
{
    if (entry < 1)
        return;
    std::vector<FileFact> &files = m_servers[record].files;
    if (files.size() < std::size_t(entry))
        files.resize(std::size_t(entry));
    files[std::size_t(entry) - 1] = fact;
}

bool FileFacts::hasFiles(int record) const
{
    const auto found = m_servers.constFind(record);
    return found != m_servers.cend() && !found->files.empty();
}

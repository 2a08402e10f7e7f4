#pragma once

#include "platform/launcher.h"

#include <QtGlobal>

// Starts programs as detached processes. Their standard input is the null device, so a client
// started from a terminal session never competes with that terminal for its input.
class ProcessLauncher final : public Launcher
{
public:
    bool start(const QString &program, const QStringList &arguments) override;

    // The process id of the last program started, 0 before the first; tests wait for it to end.
    qint64 lastProcessId() const { return m_lastProcessId; }

private:
    qint64 m_lastProcessId = 0;
};

#pragma once

#include "platform/launcher.h"

// Starts programs as detached processes. Their standard input is the null device, so a client
// started from a terminal session never competes with that terminal for its input.
class ProcessLauncher final : public Launcher
{
public:
    bool start(const QString &program, const QStringList &arguments) override;
};

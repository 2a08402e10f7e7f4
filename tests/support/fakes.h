#pragma once

#include "platform/shell.h"

#include <QStringList>

// Records what would have been opened instead of opening it.
class RecordingShell final : public Shell
{
public:
    void open(const QString &target) override { opened.append(target); }
    QStringList opened;
};

#include "platform/launcher.h"

#include <QList>

// Records each program start instead of starting anything; `result` is what start() answers.
class RecordingLauncher final : public Launcher
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
    };

    bool start(const QString &program, const QStringList &arguments) override
    {
        starts.append({program, arguments});
        return result;
    }

    QList<Start> starts;
    bool result = true;
};

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

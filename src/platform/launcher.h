#pragma once

#include <QString>
#include <QStringList>

// Starts a program and leaves it running on its own: no shell, no waiting, no handle kept.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // `program` is taken as one path, never split; each argument reaches the program as it is.
    // True when the program was started.
    virtual bool start(const QString &program, const QStringList &arguments) = 0;
};

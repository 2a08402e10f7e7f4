#pragma once

#include "platform/launcher.h"
#include "platform/shell.h"
#include "prefs/preferences.h"

#include <QHash>
#include <QList>
#include <QStringList>

// Records what would have been opened instead of opening it.
class RecordingShell final : public Shell
{
public:
    void open(const QString &target) override { opened.append(target); }
    QStringList opened;
};

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

// A preference store in memory that remembers which keys were written, in order.
class MemoryPreferenceStore final : public PreferenceStore
{
public:
    QString read(const QString &key, const QString &defaultValue) const override
    {
        return values.value(key, defaultValue);
    }
    bool write(const QString &key, const QString &value) override
    {
        values.insert(key, value);
        written.append(key);
        return true;
    }

    QHash<QString, QString> values;
    QStringList written;
};

#pragma once

#include "platform/gui/prompts.h"
#include "platform/launcher.h"
#include "platform/shell.h"
#include "prefs/preferences.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

// Records what would have been opened instead of opening it.
struct RecordingShell final : Shell
{
    void open(const QString &target) override { opened.append(target); }
    QStringList opened;
};

// Records each program start; starts nothing unless `forward` is set. Without it, `result` is what start() answers.
struct RecordingLauncher final : Launcher
{
    struct Start { QString program; QStringList arguments; };

    bool start(const QString &program, const QStringList &arguments) override
    {
        starts.append({program, arguments});
        return forward ? forward->start(program, arguments) : result;
    }

    QList<Start> starts;
    bool result = true;
    Launcher *forward = nullptr;
};

// A preference store in memory that remembers which keys were written, in order.
struct MemoryPreferenceStore final : PreferenceStore
{
    QString read(const QString &key, const QString &defaultValue) const override { return values.value(key, defaultValue); }
    bool write(const QString &key, const QString &value) override
    {
        if (failing) return false;
        values.insert(key, value);
        written.append(key);
        return true;
    }
    QString location() const override { return QStringLiteral("memory"); }

    bool failing = false; // every write fails, as on a full disk
    QHash<QString, QString> values;
    QStringList written;
};

// Answers modal windows in advance. Each dialog shown is handed, visible, to the next of `steps`,
// which acts in it as a user would (and closes it); a dialog shown with no step left is closed by
// its frame. Questions take the next of `answers` (No when none is left); warnings are noted.
struct ScriptedPrompts final : Prompts
{
    void showModal(QDialog &dialog) override
    {
        dialog.show();
        shown.append(dialog.objectName());
        if (steps.isEmpty())
            dialog.close();
        else
            steps.takeFirst()(dialog);
    }
    bool askYesNo(QWidget *, const QString &title, const QString &question) override
    {
        asked.append(title + ": " + question);
        return !answers.isEmpty() && answers.takeFirst();
    }
    void warn(QWidget *, const QString &title, const QString &message) override { warned.append(title + ": " + message); }
    QString chooseFolder(QWidget *, const QString &, const QString &) override { return chosen; }
    QString chooseFile(QWidget *, const QString &, const QString &) override { return chosen; }

    QList<std::function<void(QDialog &)>> steps;
    QList<bool> answers;
    QStringList shown, asked, warned;
    QString chosen;
};

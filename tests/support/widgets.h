#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

// The part of a window with this object name; a missing one fails the test.
template<typename Part = QWidget>
Part *part(const QObject &window, const QString &name)
{
    auto *found = window.findChild<Part *>(name);
    EXPECT_TRUE(found) << name.toStdString();
    return found;
}

inline void click(const QObject &window, const QString &button)
{
    part<QAbstractButton>(window, button)->click();
}

using Step = std::function<void(QDialog &)>;

// The client editor as a user fills it: fields left null stay as they are.
inline Step editor(const QString &name, const QString &path, const QString &args, const QString &script)
{
    return [=](QDialog &form) {
        for (const auto &[field, text] : {std::pair{"tName", name}, {"tPath", path}, {"tCommandLine", args}}) {
            if (!text.isNull()) part<QLineEdit>(form, field)->setText(text);
        }
        if (!script.isNull()) part<QPlainTextEdit>(form, "tScript")->setPlainText(script);
        click(form, "DoneBtn");
    };
}

#pragma once

#include <QString>

#include <functional>

class QDialog;
class QLineEdit;
class QWidget;

// The title of every question and warning the program asks or gives.
inline const QString kPromptTitle = QStringLiteral("Kestrune");

// The modal windows the program opens: its own dialogs, questions, file choosers. Tests answer
// them in advance, so that none of them ever waits for a person.
class Prompts
{
public:
    virtual ~Prompts() = default;
    // Shows `dialog` modally over its parent and returns once it has closed.
    virtual void showModal(QDialog &dialog) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool askYesNo(QWidget *owner, const QString &title, const QString &question) = 0;
    // A warning with an OK button only.
    virtual void warn(QWidget *owner, const QString &title, const QString &message) = 0;
    // The chosen folder or file, or empty when the chooser was cancelled.
    virtual QString chooseFolder(QWidget *owner, const QString &caption, const QString &start) = 0;
    virtual QString chooseFile(QWidget *owner, const QString &caption, const QString &start) = 0;
};

// The desktop's own: QDialog::exec, QMessageBox, QFileDialog.
class DesktopPrompts final : public Prompts
{
public:
    void showModal(QDialog &dialog) override;
    bool askYesNo(QWidget *owner, const QString &title, const QString &question) override;
    void warn(QWidget *owner, const QString &title, const QString &message) override;
    QString chooseFolder(QWidget *owner, const QString &caption, const QString &start) override;
    QString chooseFile(QWidget *owner, const QString &caption, const QString &start) override;
};

// `field` in a row with a "..." button (object name: the field's, then "Choose") that fills it
// with what `choose` returns for the field's text, unless that is empty (cancelled).
QWidget *withChooser(QLineEdit *field, const std::function<QString(const QString &)> &choose);

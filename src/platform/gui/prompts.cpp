#include "platform/gui/prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

void DesktopPrompts::showModal(QDialog &dialog)
{
    dialog.exec();
}

bool DesktopPrompts::askYesNo(QWidget *owner, const QString &title, const QString &question)
{
    return QMessageBox::question(owner, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void DesktopPrompts::warn(QWidget *owner, const QString &title, const QString &message)
{
    QMessageBox::warning(owner, title, message, QMessageBox::Ok);
}

QString DesktopPrompts::chooseFolder(QWidget *owner, const QString &caption, const QString &start)
{
    return QFileDialog::getExistingDirectory(owner, caption, start);
}

QString DesktopPrompts::chooseFile(QWidget *owner, const QString &caption, const QString &start)
{
    return QFileDialog::getOpenFileName(owner, caption, start);
}

QWidget *withChooser(QLineEdit *field, const std::function<QString(const QString &)> &choose)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    auto *button = new QToolButton(row);
    button->setObjectName(field->objectName() + QStringLiteral("Choose"));
    button->setText(QStringLiteral("..."));
    layout->addWidget(button);
    QObject::connect(button, &QToolButton::clicked, field, [field, choose] {
        if (const QString chosen = choose(field->text()); !chosen.isEmpty())
            field->setText(chosen);
    });
    return row;
}

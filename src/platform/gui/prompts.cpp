#include "platform/gui/prompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

void DesktopPrompts::showModal(QDialog &dialog)
{
    dialog.exec();
}

bool DesktopPrompts::askYesNo(QWidget *owner, const QString &title, const QString &question)
{
    return QMessageBox::question(owner, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

QString DesktopPrompts::chooseFolder(QWidget *owner, const QString &caption, const QString &start)
{
    return QFileDialog::getExistingDirectory(owner, caption, start);
}

QString DesktopPrompts::chooseFile(QWidget *owner, const QString &caption, const QString &start)
{
    return QFileDialog::getOpenFileName(owner, caption, start);
}

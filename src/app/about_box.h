#pragma once

#include <QDialog>

class QLabel;
class Shell;

// The address the usage guide points to, and where a click on the program's name goes.
inline const QString kHomePage = QStringLiteral("https://kestrune.org/");

// "About Kestrune": the program's name and version, a short usage guide, and "Done".
class AboutBox final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutBox)

public:
    AboutBox(Shell &shell, QWidget *parent);

    // The guide, each line ended by CR LF.
    static QString usageGuide();
    // "Kestrune vMAJOR.MINOR Build REVISION" of the running program.
    static QString nameLine();

    void OpenHomePage();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Shell &m_shell;
    QLabel *m_nameLbl = nullptr;
};

#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTreeView;
class UpdateSession;

// The update window "updateCheckForm": the state of the exchange in `tCheck` and, once an engine
// or client list has come, the candidates ("EnginesList", each with a check box) and "Update"
// ("UpdateBtn"). Opening it gives the controls their first values; closing it ends the exchange.
// All the work is the session's, which outlives the window.
class UpdateWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateWindow)

public:
    explicit UpdateWindow(UpdateSession &session, QWidget *parent = nullptr);
    ~UpdateWindow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showList(bool shown);

    UpdateSession &m_session;
    QLineEdit *m_tCheck;
    QTreeView *m_enginesList;
    QPushButton *m_updateBtn;
};

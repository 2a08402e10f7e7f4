#pragma once

#include <QWidget>

// The bar between the result tree and the links list. It reports its mouse events with the
// pointer's x in twips in its own coordinates; the window decides what a drag does.
class ResizeBar final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResizeBar)

public:
    explicit ResizeBar(QWidget *parent = nullptr);

signals:
    void pressed(float x);
    void moved(float x);
    void released();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

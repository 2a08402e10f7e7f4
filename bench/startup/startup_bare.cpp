// The peer of the window's start-up: a bare Qt main window holding one tree view, shown.
#include "first_frame.h"

#include <QMainWindow>
#include <QStandardItemModel>
#include <QTreeView>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("FTP")));
    QMainWindow window;
    auto *tree = new QTreeView;
    tree->setModel(&model);
    window.setCentralWidget(tree);
    window.resize(800, 600);
    return showFirstFrameAndExit(window);
}

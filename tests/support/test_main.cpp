// Every test program runs with a QApplication on the offscreen platform, so that models, sockets,
// timers and widgets all have their event loop.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestruneTests"));
    QApplication::setApplicationName(QStringLiteral("KestruneTests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

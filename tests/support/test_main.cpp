// Every test program runs with a QApplication on the offscreen platform, so that models, sockets,
// timers and widgets all have their event loop.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says what it cannot do at every dialog and menu shown ("This plugin does
// not support raise()"); it tells nothing about the program.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support "))) qtHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; CI machines often have none.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/kestrune-tests-runtime-" + QByteArray::number(getuid());
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    qtHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KestruneTests"));
    QApplication::setApplicationName(QStringLiteral("KestruneTests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

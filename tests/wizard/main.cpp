#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// Widgets need an application object; the tests run without a display. The
// working folder goes to a scratch data folder, not the user's.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    // Closing a wizard in a test must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

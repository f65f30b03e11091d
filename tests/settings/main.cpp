#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// The shortcut window needs an application object; the tests run without a display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing here may reach the user's own stored settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

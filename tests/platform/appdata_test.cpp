#include "platform/appdata.h"

#include <gtest/gtest.h>

#include <QDir>

TEST(ApplicationDataFolder, FollowsXdgDataHomeOrFallsBackToLocalShare)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/xdg-data/");
    EXPECT_EQ(platform::applicationDataFolder(), QStringLiteral("/tmp/xdg-data"));

    // A relative value is invalid by the XDG rules and is ignored.
    qputenv("XDG_DATA_HOME", "relative/path");
    EXPECT_EQ(platform::applicationDataFolder(), QDir::homePath() + QStringLiteral("/.local/share"));

    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::applicationDataFolder(), QDir::homePath() + QStringLiteral("/.local/share"));
    if (!saved.isNull())
        qputenv("XDG_DATA_HOME", saved);
}

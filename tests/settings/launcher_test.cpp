#include "platform/launcher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "testfiles.h"

#ifndef Q_OS_WIN

namespace {

// A stand-in for the program: prints its working folder and each argument,
// every one ended by a NUL byte so that newlines in them stay visible.
const QByteArray kStandIn = "#!/bin/sh\nprintf '%s\\0' \"$(pwd)\" \"$#\" \"$@\"\n";

struct LauncherRun {
    QList<QByteArray> fields;
    int exitCode = -1;
};

LauncherRun runLauncher(const QString& launcher, const QString& from) {
    QProcess process;
    process.setWorkingDirectory(from);
    process.start(launcher, {});
    process.waitForFinished(30000);
    LauncherRun run;
    run.exitCode = process.exitCode();
    run.fields = process.readAllStandardOutput().split('\0');
    if (!run.fields.isEmpty() && run.fields.last().isEmpty()) run.fields.removeLast();
    return run;
}

}  // namespace

TEST(Launcher, StartsTheProgramFromItsFolderWithTheSettingFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString awkward = QStringLiteral("a b 'single' \"double\" $HOME `id` \\back\nline ü");
    const QString programDir = dir.filePath(QStringLiteral("prog ") + awkward);
    const QString jobDir = dir.filePath(QStringLiteral("jobs ") + awkward);
    ASSERT_TRUE(QDir().mkpath(programDir));
    ASSERT_TRUE(QDir().mkpath(jobDir));
    const QString program = programDir + QStringLiteral("/ferrovane");
    writeBytes(program, kStandIn);
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    const QString setting = jobDir + QStringLiteral("/night $x.kvtask");
    const QString launcher = jobDir + QStringLiteral("/night $x.sh");
    writeBytes(launcher, QByteArray(4000, '#'));  // an old file is replaced
    platform::CreateShortcut(program, u'"' + setting + u'"', launcher);
    EXPECT_EQ(unixMode(launcher), 0755u);

    const LauncherRun run = runLauncher(launcher, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.fields.size(), 3);
    EXPECT_EQ(QFile::decodeName(run.fields[0]), programDir);
    EXPECT_EQ(run.fields[1], "1");
    EXPECT_EQ(QFile::decodeName(run.fields[2]), setting);
}

TEST(Launcher, AMovedProgramFolderEndsTheLauncher) {
    QTemporaryDir dir;
    const QString launcher = dir.filePath(QStringLiteral("job.sh"));
    platform::CreateShortcut(dir.filePath(QStringLiteral("gone/ferrovane")),
                             QStringLiteral("\"x\""), launcher);
    EXPECT_EQ(runLauncher(launcher, dir.path()).exitCode, 127);
    EXPECT_THROW(platform::CreateShortcut(QStringLiteral("/bin/true"), QString(),
                                          dir.filePath(QStringLiteral("no/folder/job.sh"))),
                 platform::TShortcutError);
}

#endif

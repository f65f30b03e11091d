#include "settings/batchrun.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "testfiles.h"

TEST(BatchDisplay, OnlyAShowingPlatformCanAnswerABox) {
    const QString none;
    const QString x = QStringLiteral(":0");
    EXPECT_FALSE(DisplayAvailableIn(none, none, none, none));
    EXPECT_FALSE(DisplayAvailableIn(x, none, QStringLiteral("offscreen"), none));
    EXPECT_FALSE(DisplayAvailableIn(x, none, QStringLiteral("minimal"), none));
    EXPECT_FALSE(DisplayAvailableIn(x, none, none, QStringLiteral("offscreen")));
    EXPECT_FALSE(
        DisplayAvailableIn(x, none, QStringLiteral("offscreen:fontengine=freetype"), none));
    // Once running, the plugin in use counts, not the variable.
    EXPECT_TRUE(DisplayAvailableIn(x, none, QStringLiteral("offscreen"), QStringLiteral("xcb")));
    EXPECT_TRUE(DisplayAvailableIn(none, none, none, QStringLiteral("eglfs")));
    EXPECT_TRUE(DisplayAvailableIn(x, none, none, none));
    EXPECT_TRUE(
        DisplayAvailableIn(none, QStringLiteral("wayland-0"), QStringLiteral("wayland"), none));
    // These tests themselves run on the offscreen platform.
    EXPECT_FALSE(CanAnswerMessages());
}

#ifndef Q_OS_WIN
TEST(BatchDisplay, ABatchRunWithoutDisplayStartsOffscreen) {
    const QByteArray saved[] = {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"),
                                qgetenv("QT_QPA_PLATFORM")};
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");
    EXPECT_FALSE(PrepareBatchPlatform(false));
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
    EXPECT_TRUE(PrepareBatchPlatform(true));
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "offscreen");
    qputenv("DISPLAY", ":0");
    qputenv("QT_QPA_PLATFORM", "xcb");
    EXPECT_FALSE(PrepareBatchPlatform(true));
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
}
#endif

TEST(BatchExit, CodesOfTheWaysARunEnds) {
    EXPECT_EQ(ExitForOutcome(TRunOutcome{3, 0, 0}), TBatchExit::Normal);
    EXPECT_EQ(ExitForOutcome(TRunOutcome{3, 1, 0}), TBatchExit::TableStepsFailed);
    EXPECT_EQ(ExitForOutcome(TRunOutcome{3, 0, 1}), TBatchExit::TableStepsFailed);

    TBatchRun run(QStringLiteral("/nowhere/job.kvtask"), true);
    run.finished(TRunOutcome{1, 1, 0});
    EXPECT_EQ(run.exitCode(), TBatchExit::TableStepsFailed);
    TRunLog log;
    EXPECT_FALSE(run.saveLog(log).isEmpty());  // its folder does not exist
    EXPECT_TRUE(
        run.logError().startsWith(QStringLiteral("Cannot create file \"/nowhere/job.log\". ")));
    EXPECT_EQ(run.exitCode(), TBatchExit::LogNotWritten);
    run.walkStopped();
    EXPECT_EQ(run.exitCode(), TBatchExit::WalkStopped);
    run.finished(TRunOutcome{});
    EXPECT_EQ(run.exitCode(), TBatchExit::WalkStopped);
}

TEST(BatchStart, AMissingSettingFileLeavesATwoLineLog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nightly.kvtask"));
    TBatchRun run(path, true);
    TRunLog log;
    TConversionSettings settings;
    settings.oracleh = QStringLiteral("stored");
    EXPECT_FALSE(run.start(log, settings));
    EXPECT_EQ(run.exitCode(), TBatchExit::SettingFileNotLoaded);
    EXPECT_EQ(settings.oracleh, QStringLiteral("stored"));
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Start time:")));
    EXPECT_EQ(log.lines()[1],
              QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
    const QByteArray expected =
        (log.lines()[0] + QStringLiteral("\r\n") + log.lines()[1] + QStringLiteral("\r\n"))
            .toUtf8();
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("nightly.log"))), expected);
}

TEST(BatchStart, MalformedIndexesEndTheRunWithoutShowingValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.kvtask"));
    writeBytes(path, "oraclep=s3cret\r\naccessmode=0\r\naccessformat=0\r\nprocesstable=s3cret\r\n");
    TBatchRun run(path, true);
    TRunLog log;
    TConversionSettings settings;
    EXPECT_FALSE(run.start(log, settings));
    EXPECT_EQ(run.exitCode(), TBatchExit::SettingFileNotLoaded);
    EXPECT_EQ(settings.oraclep, QString());
    EXPECT_FALSE(fileBytes(dir.filePath(QStringLiteral("job.log"))).contains("s3cret"));
}

TEST(BatchStart, AppliesTheFileAndKeepsItForTheTableChoice) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.kvtask"));
    WriteTextFile(path,
                  {"oracleh=sqlite:s.sqlite", "oraclep=pw", "accessmode=0", "accessfilename=t.mdb",
                   "accessformat=1", "processtable=1", "alltables=0", "tables1=B", "tables2=A"});
    TBatchRun run(path, true);
    TRunLog log;
    TConversionSettings settings;
    ASSERT_TRUE(run.start(log, settings));
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(settings.accessformat, 1);
    EXPECT_EQ(settings.toRunSettings().processtable, 1);
    EXPECT_EQ(settings.toRunSettings().accessfilename, QStringLiteral("t.mdb"));
    EXPECT_EQ(run.tableChoice().names, QStringList({"B", "A"}));
    EXPECT_EQ(run.logPath(), dir.filePath(QStringLiteral("job.log")));
}

TEST(BatchStart, UnattendedMessagesGoIntoTheSavedLog) {
    QTemporaryDir dir;
    TBatchRun attended(dir.filePath(QStringLiteral("a.kvtask")), false);
    TRunLog log;
    log.append(QStringLiteral("Start time:x"));
    EXPECT_FALSE(
        attended.reportUnattended(log, QStringLiteral("Please input Access database name")));
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("a.log"))));

    TBatchRun unattended(dir.filePath(QStringLiteral("u.kvtask")), true);
    EXPECT_TRUE(
        unattended.reportUnattended(log, QStringLiteral("Please input Access database name")));
    EXPECT_EQ(unattended.exitCode(), TBatchExit::WalkStopped);
    EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("u.log"))),
              QByteArray("Start time:x\r\nPlease input Access database name\r\n"));
}

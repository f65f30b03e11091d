#include "settings/batchrun.h"

#include <QGuiApplication>
#include <cstdio>

TBatchExit ExitForOutcome(const TRunOutcome& outcome) {
    return outcome.failedSteps > 0 || outcome.tablesLosingValues > 0 ? TBatchExit::TableStepsFailed
                                                                     : TBatchExit::Normal;
}

namespace {

bool headlessPlatform(const QString& name) {
    // "offscreen:fontengine=..." carries options after the name.
    const QString plugin = name.section(u':', 0, 0).trimmed();
    return plugin == QStringLiteral("offscreen") || plugin == QStringLiteral("minimal");
}

int severity(TBatchExit code) {
    switch (code) {
        case TBatchExit::Normal:
            return 0;
        case TBatchExit::TableStepsFailed:
            return 1;
        case TBatchExit::LogNotWritten:
            return 2;
        case TBatchExit::WalkStopped:
            return 3;
        case TBatchExit::SettingFileNotLoaded:
            return 4;
    }
    return 0;
}

}  // namespace

void ToStandardError(const QString& message) {
    std::fputs((message + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

bool DisplayAvailableIn(const QString& display, const QString& waylandDisplay,
                        const QString& qpaPlatform, const QString& runningPlatform) {
    // A platform plugin that started and shows windows can show a box too.
    if (!runningPlatform.isEmpty()) return !headlessPlatform(runningPlatform);
    if (headlessPlatform(qpaPlatform)) return false;
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(display);
    Q_UNUSED(waylandDisplay);
    return true;
#else
    return !display.isEmpty() || !waylandDisplay.isEmpty();
#endif
}

bool DisplayAvailable() {
    return DisplayAvailableIn(qEnvironmentVariable("DISPLAY"),
                              qEnvironmentVariable("WAYLAND_DISPLAY"),
                              qEnvironmentVariable("QT_QPA_PLATFORM"), QString());
}

bool PrepareBatchPlatform(bool batchrun) {
    if (!batchrun || DisplayAvailable()) return false;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

bool CanAnswerMessages() {
    const QString running = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::platformName()
                                : QString();
    return DisplayAvailableIn(qEnvironmentVariable("DISPLAY"),
                              qEnvironmentVariable("WAYLAND_DISPLAY"),
                              qEnvironmentVariable("QT_QPA_PLATFORM"), running);
}

TBatchRun::TBatchRun(QString settingPath, bool unattended)
    : settingPath_(std::move(settingPath)), unattended_(unattended) {}

void TBatchRun::raise(TBatchExit code) {
    if (severity(code) > severity(exit_)) exit_ = code;
}

bool TBatchRun::start(TRunLog& log, TConversionSettings& settings) {
    log.append(QStringLiteral("Start time:") + DateTimeText());
    try {
        file_ = TSettingFile::load(settingPath_);
        ApplySettingFile(file_, settings);
        return true;
    } catch (const TTextFileError& e) {
        log.append(e.message());
    } catch (const TSettingFileError& e) {
        log.append(e.message());
    }
    file_ = TSettingFile();
    raise(TBatchExit::SettingFileNotLoaded);
    if (unattended_) ToStandardError(log.last());
    saveLog(log);
    return false;
}

QString TBatchRun::saveLog(const TRunLog& log) {
    try {
        WriteTextFile(logPath(), log.lines());
        logError_.clear();
        return QString();
    } catch (const TTextFileError& e) {
        logError_ = e.message();
        raise(TBatchExit::LogNotWritten);
        if (unattended_) ToStandardError(e.message());
        return e.message();
    }
}

bool TBatchRun::reportUnattended(TRunLog& log, const QString& message) {
    raise(TBatchExit::WalkStopped);
    if (!unattended_) return false;
    log.append(message);
    ToStandardError(message);
    saveLog(log);
    return true;
}

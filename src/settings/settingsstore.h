#pragma once

// The stored settings: LoadSettings and SaveSettings over a small store of
// named text values. The program's store is QSettings("Marrowline",
// "Glimmerstack") (the registry on Windows, an INI file elsewhere); tests give
// it a file of their own or a store in memory.

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

#include "settings/conversionsettings.h"

// A value that cannot be read or written. message() is the text to report.
class TSettingsError : public std::runtime_error {
public:
    explicit TSettingsError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The five services the two operations need of the store.
class TSettingsStore {
public:
    virtual ~TSettingsStore() = default;
    // Opens for reading without creating anything; false when there is nothing
    // to read (no stored settings yet) or it cannot be read.
    virtual bool openRead() = 0;
    // Opens for writing, creating the store when it is missing; false when
    // that cannot be done.
    virtual bool openWrite() = 0;
    // A missing value reads as empty text. A value that is not text throws
    // TSettingsError("Invalid data type for '<name>'").
    virtual QString readText(const QString& name) = 0;
    // Throws TSettingsError("Failed to set data for '<name>'") when the value
    // cannot be written.
    virtual void writeText(const QString& name, const QString& value) = 0;
    // Ends a read or a write. False when written values could not be kept.
    virtual bool close() = 0;
};

// The store over QSettings. Only values that QSettings hands back as a single
// text count as text: in the INI file a hand-written list (a,b), byte array
// or variant (@ByteArray(...), @Variant(...)) is "not text", as a REG_DWORD or
// REG_BINARY value is in the registry. On Unix the file is kept readable and
// writable by its owner only, since it holds passwords in plain text.
class TQSettingsStore : public TSettingsStore {
public:
    // The program's own store: organisation "Marrowline", application "Glimmerstack".
    TQSettingsStore();
    // An INI file at path (tests).
    explicit TQSettingsStore(const QString& iniPath);
    ~TQSettingsStore() override;

    bool openRead() override;
    bool openWrite() override;
    QString readText(const QString& name) override;
    void writeText(const QString& name, const QString& value) override;
    bool close() override;

    QString fileName();

private:
    QSettings& settings();

    QString iniPath_;  // empty: the program's own store
    std::unique_ptr<QSettings> settings_;
};

// Reads the stored settings into settings, in the fixed order of the values.
// With nothing stored, every field keeps what it held. Returns the messages of
// values passed over because they were not text; such a value counts as
// missing (an index as 0), and loading goes on.
QStringList LoadSettings(TSettingsStore& store, TConversionSettings& settings);

// Stores settings, in the fixed order of the values. Nothing is stored and
// nothing reported when the store cannot be opened for writing. A value that
// cannot be written ends the saving there; its message is returned (empty
// when all went well). defaultaccessdir is written only when a target file is
// chosen, as the target file's folder.
QString SaveSettings(TSettingsStore& store, const TConversionSettings& settings);

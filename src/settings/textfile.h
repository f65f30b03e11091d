#pragma once

// Text files as the program reads and writes them. Written: in the locale's
// encoding (the ANSI code page on Windows), no byte-order mark, CR LF after
// every line. Read: whole, a byte-order mark choosing UTF-16 LE/BE or UTF-8,
// the locale's encoding otherwise; lines split at CR LF, lone CR and lone LF.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

class TTextFileError : public std::runtime_error {
public:
    explicit TTextFileError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Decodes a whole file's bytes by its byte-order mark, which is dropped.
QString DecodeTextFile(const QByteArray& bytes);
// Splits at CR LF, CR and LF. A break at the very end adds no line; empty
// lines count.
QStringList SplitLines(const QString& text);
// The bytes of lines as written: locale encoding, CR LF after each.
QByteArray TextFileBytes(const QStringList& lines);

// Throws TTextFileError("Cannot open file \"<path>\". <reason>").
QStringList ReadTextFile(const QString& path);

enum class TFileAccess { Default, OwnerOnly };
// Writes lines to path, replacing any file there. OwnerOnly makes the file
// readable and writable by its owner alone (Unix). Throws
// TTextFileError("Cannot create file \"<path>\". <reason>").
void WriteTextFile(const QString& path, const QStringList& lines,
                   TFileAccess access = TFileAccess::Default);

// The path with its file name's extension (from the name's last "." on)
// replaced by ext; a name without "." gets ext appended.
QString ChangeFileExt(const QString& path, const QString& ext);

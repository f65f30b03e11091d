#include "settings/textfile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

#ifndef Q_OS_WIN
#include <langinfo.h>
#endif

namespace {

// The name of the locale's encoding for QStringConverter; empty means the
// system encoding (UTF-8 on Unix, the ANSI code page on Windows). The C
// locale's ASCII is taken as UTF-8, as Qt does.
QByteArray localeEncodingName() {
#ifdef Q_OS_WIN
    return QByteArray();
#else
    const QByteArray codeset = nl_langinfo(CODESET);
    const QByteArray lower = codeset.toLower();
    if (lower.isEmpty() || lower == "utf-8" || lower == "utf8" || lower == "ansi_x3.4-1968" ||
        lower == "ascii" || lower == "us-ascii")
        return QByteArray();
    if (!QStringDecoder(codeset.constData()).isValid()) return QByteArray();
    return codeset;
#endif
}

QStringDecoder localeDecoder() {
    const QByteArray name = localeEncodingName();
    return name.isEmpty() ? QStringDecoder(QStringConverter::System)
                          : QStringDecoder(name.constData());
}

QStringEncoder localeEncoder() {
    const QByteArray name = localeEncodingName();
    return name.isEmpty() ? QStringEncoder(QStringConverter::System)
                          : QStringEncoder(name.constData());
}

}  // namespace

QString DecodeTextFile(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QStringDecoder(QStringConverter::Utf8).decode(bytes.mid(3));
    QStringDecoder decoder = localeDecoder();
    return decoder.decode(bytes);
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

QByteArray TextFileBytes(const QStringList& lines) {
    QStringEncoder encoder = localeEncoder();
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encoder.encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

QStringList ReadTextFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TTextFileError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TTextFileError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    return SplitLines(DecodeTextFile(bytes));
}

void WriteTextFile(const QString& path, const QStringList& lines, TFileAccess access) {
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(path);
    bool ok = access == TFileAccess::OwnerOnly
                  ? file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly)
                  : file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    // An existing file keeps its permissions through the open: narrow them
    // before anything is written into it.
    if (ok && access == TFileAccess::OwnerOnly) ok = file.setPermissions(ownerOnly);
    if (ok) {
        const QByteArray bytes = TextFileBytes(lines);
        ok = file.write(bytes) == bytes.size() && file.flush();
    }
    if (!ok)
        throw TTextFileError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
}

QString ChangeFileExt(const QString& path, const QString& ext) {
    qsizetype nameStart = path.lastIndexOf(u'/') + 1;
#ifdef Q_OS_WIN
    nameStart = std::max({nameStart, path.lastIndexOf(u'\\') + 1, path.lastIndexOf(u':') + 1});
#endif
    const qsizetype dot = path.lastIndexOf(u'.');
    return (dot >= nameStart ? path.left(dot) : path) + ext;
}

#pragma once

// Small file helpers shared by the settings tests.

#include <QFile>
#include <QString>

#ifndef Q_OS_WIN
#include <sys/stat.h>

// The file's permission bits, as ls shows them in octal.
inline unsigned unixMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}
#endif

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

#include "platform/launcher.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>
#ifdef _MSC_VER
#pragma comment(lib, "ole32.lib")
#pragma comment(lib, "uuid.lib")
#endif
#endif

namespace platform {

namespace {

// Everything up to and including the last separator.
QString folderOf(const QString& path) {
#ifdef Q_OS_WIN
    qsizetype cut = -1;
    for (qsizetype i = 0; i < path.size(); ++i)
        if (path[i] == u'\\' || path[i] == u':' || path[i] == u'/') cut = i;
#else
    const qsizetype cut = path.lastIndexOf(u'/');
#endif
    return path.left(cut + 1);
}

#ifndef Q_OS_WIN
// Single quotes keep every byte literally; a quote itself closes the quoting,
// is escaped, and reopens it.
QByteArray shellQuote(const QString& path) {
    QByteArray bytes = QFile::encodeName(path);
    bytes.replace('\'', "'\\''");
    return '\'' + bytes + '\'';
}
#endif

}  // namespace

#ifdef Q_OS_WIN

QByteArray LauncherScript(const QString&, const QString&) { return QByteArray(); }

void CreateShortcut(const QString& target, const QString& arguments, const QString& linkPath) {
    const HRESULT init = OleInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        const QString folder = folderOf(target);
        link->SetPath(reinterpret_cast<const wchar_t*>(target.utf16()));
        link->SetArguments(reinterpret_cast<const wchar_t*>(arguments.utf16()));
        link->SetWorkingDirectory(reinterpret_cast<const wchar_t*>(folder.utf16()));
        hr = file->Save(reinterpret_cast<const wchar_t*>(linkPath.utf16()), FALSE);
    }
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(init)) OleUninitialize();
    if (FAILED(hr))
        throw TShortcutError(QStringLiteral("Cannot create file \"%1\". Error 0x%2")
                                 .arg(linkPath)
                                 .arg(static_cast<unsigned long>(hr), 8, 16, QLatin1Char('0')));
}

#else

QByteArray LauncherScript(const QString& target, const QString& arguments) {
    QString argument = arguments;
    if (argument.size() >= 2 && argument.startsWith(u'"') && argument.endsWith(u'"'))
        argument = argument.mid(1, argument.size() - 2);
    QByteArray script =
        "#!/bin/sh\n"
        "# Starts a Ferrovane batch run from the program's folder.\n";
    script += "cd -- " + shellQuote(folderOf(target)) + " || exit 127\n";
    script += "exec " + shellQuote(target);
    if (!argument.isEmpty()) script += ' ' + shellQuote(argument);
    script += '\n';
    return script;
}

void CreateShortcut(const QString& target, const QString& arguments, const QString& linkPath) {
    const QFileDevice::Permissions executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther;
    const QByteArray script = LauncherScript(target, arguments);
    QFile file(linkPath);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate, executable) &&
                    file.write(script) == script.size() && file.flush() &&
                    file.setPermissions(executable);
    if (!ok)
        throw TShortcutError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(linkPath, file.errorString()));
}

#endif

}  // namespace platform

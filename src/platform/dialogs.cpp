#include "platform/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace platform {

namespace {

class QtDialogs final : public Dialogs {
public:
    void message(QWidget* owner, const QString& title, const QString& text,
                 MessageIcon icon) override {
        // Texts join their lines with a lone CR, which a box would not break at.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        QMessageBox box(toQt(icon), title, shown, QMessageBox::Ok, owner);
        box.exec();
    }

    bool question(QWidget* owner, const QString& title, const QString& text) override {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        owner);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<QString> saveFileName(QWidget* owner, const SaveFileRequest& request) override {
        QFileDialog dialog(owner);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(qtFilter(request.filter));
        dialog.setDefaultSuffix(request.defaultExt);
        if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!request.initialDir.isEmpty()) dialog.setDirectory(request.initialDir);
        if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }

    bool openUrl(QWidget*, const QString& address) override {
        return QDesktopServices::openUrl(QUrl::fromUserInput(address));
    }

private:
    static QMessageBox::Icon toQt(MessageIcon icon) {
        switch (icon) {
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::None: break;
        }
        return QMessageBox::NoIcon;
    }
};

QtDialogs qtDialogs;
Dialogs* current = &qtDialogs;

}  // namespace

Dialogs& dialogs() { return *current; }

void setDialogs(Dialogs* replacement) { current = replacement ? replacement : &qtDialogs; }

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void showErrorBox(QWidget* owner, const QString& message) {
    dialogs().message(owner, QApplication::applicationName(), errorBoxText(message),
                      MessageIcon::Error);
}

void showMessage(QWidget* owner, const QString& text) {
    dialogs().message(owner, QApplication::applicationName(), text, MessageIcon::None);
}

QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace platform

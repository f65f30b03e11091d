#include "settings/umarfrm_bat.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "settings/textfile.h"

QString ShortcutExtension() {
#ifdef Q_OS_WIN
    return QStringLiteral("lnk");
#else
    return QStringLiteral("sh");
#endif
}

namespace {

QLineEdit* readOnlyEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

}  // namespace

Tmarfrm_bat::Tmarfrm_bat(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("marfrm_bat"));
    setModal(true);

    auto* oracle = new QGroupBox(QStringLiteral("Connect Oracle Server"), this);
    auto* oracleForm = new QFormLayout(oracle);
    edtoracleservice = readOnlyEdit(oracle);
    edtoracleusername = readOnlyEdit(oracle);
    edtoraclepassword = readOnlyEdit(oracle);  // shown unmasked
    oracleForm->addRow(QStringLiteral("Oracle service name"), edtoracleservice);
    oracleForm->addRow(QStringLiteral("Oracle user name"), edtoracleusername);
    oracleForm->addRow(QStringLiteral("Oracle user password"), edtoraclepassword);

    auto* access = new QGroupBox(QStringLiteral("Access Database"), this);
    auto* accessForm = new QFormLayout(access);
    cbaccessformat = new QComboBox(access);
    cbaccessformat->addItems({QStringLiteral("MS Access 95/97"), QStringLiteral("MS Access 2000")});
    editaccessname = readOnlyEdit(access);
    edtoracleexits = readOnlyEdit(access);
    accessForm->addRow(QStringLiteral("Access format:"), cbaccessformat);
    accessForm->addRow(QStringLiteral("MS Access database name:"), editaccessname);
    accessForm->addRow(QStringLiteral("Process existing tables"), edtoracleexits);

    auto* conversion = new QGroupBox(QStringLiteral("Conversion Settings."), this);
    auto* conversionBox = new QVBoxLayout(conversion);
    chktabledefi = new QCheckBox(QStringLiteral("Convert table definitions only"), conversion);
    chkskipindex = new QCheckBox(QStringLiteral("Skip converting indexes"), conversion);
    chkblobtotext = new QCheckBox(QStringLiteral("Convert BLOB to text"), conversion);
    conversionBox->addWidget(chktabledefi);
    conversionBox->addWidget(chkskipindex);
    conversionBox->addWidget(chkblobtotext);

    auto* select = new QGroupBox(QStringLiteral("Select MySQL tables"), this);
    auto* selectBox = new QHBoxLayout(select);
    rgselecttable = new QButtonGroup(this);
    auto* selected = new QRadioButton(QStringLiteral("Selected tables"), select);
    auto* all = new QRadioButton(QStringLiteral("All database tables"), select);
    rgselecttable->addButton(selected, 0);
    rgselecttable->addButton(all, 1);
    all->setChecked(true);
    selectBox->addWidget(selected);
    selectBox->addWidget(all);
    connect(rgselecttable, &QButtonGroup::idClicked, this, [this] { rgselecttableClick(); });

    mysqltableselect = new QListWidget(this);
    mysqltableselect->setSelectionMode(QAbstractItemView::NoSelection);
    bttableselect = new QPushButton(QStringLiteral("Reselect tables"), this);
    Button1 = new QPushButton(QStringLiteral("Create Shortcut File"), this);
    connect(bttableselect, &QPushButton::clicked, this, [this] { bttableselectClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    auto* left = new QVBoxLayout;
    left->addWidget(oracle);
    left->addWidget(access);
    left->addWidget(conversion);
    left->addWidget(select);
    auto* right = new QVBoxLayout;
    right->addWidget(mysqltableselect);
    right->addWidget(bttableselect);
    right->addStretch();
    right->addWidget(Button1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right);

    // In line with "All database tables" at start.
    rgselecttableClick();
}

void Tmarfrm_bat::fill(const TConversionSettings& settings, const QString& treatmentCaption,
                       const QStringList& chosenTables) {
    edtoracleservice->setText(settings.oracleh);
    edtoracleusername->setText(settings.oracleu);
    edtoraclepassword->setText(settings.oraclep);
    edtoracleexits->setText(treatmentCaption);
    chktabledefi->setChecked(settings.tabledefonly);
    chkskipindex->setChecked(settings.skipindex);
    chkblobtotext->setChecked(settings.blobtotext);
    mysqltableselect->clear();
    mysqltableselect->addItems(chosenTables);
    cbaccessformat->setCurrentIndex(settings.accessformat);
    editaccessname->setText(settings.accessfilename);
    accessmode_ = settings.accessmode;
    processtable_ = settings.processtable;
}

TShortcutChoice Tmarfrm_bat::choice() const {
    TShortcutChoice c;
    c.oracleh = edtoracleservice->text();
    c.oracleu = edtoracleusername->text();
    c.oraclep = edtoraclepassword->text();
    c.accessmode = accessmode_;
    c.accessfilename = editaccessname->text();
    c.accessformat = cbaccessformat->currentIndex();
    c.processtable = processtable_;
    c.tabledefonly = chktabledefi->isChecked();
    c.skipindex = chkskipindex->isChecked();
    c.blobtotext = chkblobtotext->isChecked();
    c.alltables = rgselecttable->checkedId();
    for (int i = 0; i < mysqltableselect->count(); ++i)
        c.tables << mysqltableselect->item(i)->text();
    return c;
}

void Tmarfrm_bat::rgselecttableClick() {
    const bool listShown = rgselecttable->checkedId() != 1;
    mysqltableselect->setVisible(listShown);
    bttableselect->setVisible(listShown);
}

void Tmarfrm_bat::bttableselectClick() {
    message(
        QStringLiteral("This form will be closed.\rAfter you finish your choice,please click the "
                       "button \"Create Shortcut File\" to return to this form."));
    close();
}

void Tmarfrm_bat::Button1Click() {
    const QString chosen = askPath();
    if (chosen.isEmpty()) return;
    lastShortcutPath_ = chosen;
    const QString shortcutPath = QFileInfo(chosen).absoluteFilePath();
    const QString settingPath = SettingFilePath(shortcutPath);
    const QString logPath = LogFilePath(shortcutPath);
    // A shortcut named like its own setting or log file would overwrite it.
    if (shortcutPath.compare(settingPath, Qt::CaseInsensitive) == 0 ||
        shortcutPath.compare(logPath, Qt::CaseInsensitive) == 0) {
        message(
            QStringLiteral("The shortcut file cannot have the extension \".kvtask\" or \".log\"."));
        return;
    }
    try {
        WriteTextFile(settingPath, SettingFileLines(choice()), TFileAccess::OwnerOnly);
    } catch (const TTextFileError& e) {
        message(e.message());
        return;
    }
    try {
        const QString program =
            programPath_.isEmpty() ? QCoreApplication::applicationFilePath() : programPath_;
        platform::CreateShortcut(program, u'"' + settingPath + u'"', shortcutPath);
    } catch (const platform::TShortcutError& e) {
        message(e.message());
        return;
    }
    message(QStringLiteral(
                "Success to create \"%1\".\rCreate setting file \"%2\" OK.\rIt will build a log "
                "file \"%3\" after running with this Shortcut File.")
                .arg(shortcutPath, settingPath, logPath));
    close();
}

void Tmarfrm_bat::message(const QString& text) {
    if (showMessage_)
        showMessage_(text);
    else
        platform::showMessage(this, text);
}

QString Tmarfrm_bat::askPath() {
    if (askShortcutPath_) return askShortcutPath_(lastShortcutPath_);
    platform::SaveFileRequest request;
    request.fileName = lastShortcutPath_;
    request.defaultExt = ShortcutExtension();
    request.filter = ShortcutExtension() + QStringLiteral("|*.") + ShortcutExtension();
    return platform::dialogs().saveFileName(this, request).value_or(QString());
}

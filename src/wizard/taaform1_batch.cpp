// The main window's stored settings and its batch run: the controls as
// TConversionSettings, LoadSettings and SaveSettings, and the batch start,
// timer, continuation of "Next >", table choice and end.

#include "engine/ucc.h"
#include "settings/unattendeddialogs.h"
#include "wizard/taaform1.h"

TConversionSettings Taaform1::controlSettings() const {
    TConversionSettings s;
    s.accessmode = accessmode->itemIndex();
    s.mysqldatabase = edtdatabase->text();
    s.mysqlu = edtname->text();
    s.mysqlp = edtpassword->text();
    s.host = edthost->text();
    s.port = edtport->text();
    s.oracleh = edtservice->text();
    s.oracleu = edtoracleusername->text();
    s.oraclep = edtoraclepassword->text();
    s.processtable = processtable->itemIndex();
    s.tabledefonly = chktabledefi->isChecked();
    s.nameuppercase = chkuppercase->isChecked();
    s.skipindex = chkskipindex->isChecked();
    s.blobtotext = chkblobtotext->isChecked();
    s.accessformat = cbaccessformat->currentIndex();
    s.accessfilename = editaccessname->text();
    s.defaultaccessdir = SaveDialog1.InitialDir;
    s.tables = selectedNames();
    return s;
}

void Taaform1::setControlSettings(const TConversionSettings& s) {
    accessmode->setItemIndex(s.accessmode);
    edtdatabase->setText(s.mysqldatabase);
    edtname->setText(s.mysqlu);
    edtpassword->setText(s.mysqlp);
    edthost->setText(s.host);
    edtport->setText(s.port);
    edtservice->setText(s.oracleh);
    edtoracleusername->setText(s.oracleu);
    edtoraclepassword->setText(s.oraclep);
    processtable->setItemIndex(s.processtable);
    chktabledefi->setChecked(s.tabledefonly);
    chkuppercase->setChecked(s.nameuppercase);
    chkskipindex->setChecked(s.skipindex);
    chkblobtotext->setChecked(s.blobtotext);
    cbaccessformat->setCurrentIndex(ClampListIndex(s.accessformat, cbaccessformat->count()));
    editaccessname->setText(s.accessfilename);
    SaveDialog1.FileName = s.accessfilename;
}

void Taaform1::LoadSettings() {
    TConversionSettings s = controlSettings();
    s.defaultaccessdir.clear();
    // A value stored as something other than text is passed over; the start
    // goes on, and the next save writes it as text.
    if (store_)
        for (const QString& problem : ::LoadSettings(*store_, s)) ToStandardError(problem);
    setControlSettings(s);
    SaveDialog1.InitialDir = TargetDialogFolder(s, Tcc::WorkingFolder());
}

void Taaform1::SaveSettings() {
    if (!store_) return;
    // The window is going away: there is no box left to show this in.
    const QString problem = ::SaveSettings(*store_, controlSettings());
    if (!problem.isEmpty()) ToStandardError(problem);
}

int Taaform1::exitStatus() const { return batch_ ? static_cast<int>(batch_->exitCode()) : 0; }

void Taaform1::endProgram() {
    ended_ = true;
    close();
}

void Taaform1::batchStart() {
    batch_.emplace(arguments.first(), !CanAnswerMessages());
    if (batch_->unattended()) {
        previousDialogs_ = &platform::dialogs();
        unattendedDialogs_ =
            std::make_unique<TUnattendedDialogs>(*batch_, sc, [this] { endProgram(); });
        platform::setDialogs(unattendedDialogs_.get());
    }
    TConversionSettings s = controlSettings();
    if (!batch_->start(sc, s)) {
        // The log holds the reason and has been saved; nothing was applied.
        if (!batch_->logError().isEmpty() && !batch_->unattended())
            platform::showErrorBox(this, batch_->logError());
        endProgram();
        return;
    }
    setControlSettings(s);
    Timer1->setSingleShot(true);
    Timer1->start();
}

void Taaform1::Timer1Timer() {
    Timer1->stop();
    perform([this] { btnextClick(); });
}

void Taaform1::batchContinuation() {
    // Each check reads the page afresh: a nested press may have moved on.
    for (int page = 1; page <= 4; ++page)
        if (!ended_ && currentpage == page) btnextClick();
    if (!ended_ && currentpage == 5) {
        chooseBatchTables();
        btnextClick();
    }
}

void Taaform1::chooseBatchTables() {
    const TTableChoice choice = batch_->tableChoice();
    if (choice.addAll) {
        Button2Click();
        return;
    }
    for (const QString& name : choice.names) {
        for (int i = 0; i < availabletables->count(); ++i) {
            if (availabletables->item(i)->text() != name) continue;
            availabletables->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
            Button1Click();
            break;
        }
    }
}

void Taaform1::batchEnd() {
    batchEnded_ = true;
    const QString error = batch_->saveLog(sc);
    if (!error.isEmpty() && !batch_->unattended()) {
        // Somebody is there to read it; the window stays on the log page.
        platform::showErrorBox(this, error);
        return;
    }
    endProgram();
}

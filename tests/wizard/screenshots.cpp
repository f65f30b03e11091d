// wizard_screenshots OUTDIR SNAPSHOT: walks the wizard over a snapshot and
// saves a picture of each page it shows (page1.png, page3.png ... page6.png).
// Without QT_QPA_PLATFORM it runs offscreen and pictures the client area; on a
// real display (for example Xvfb with a window manager) it pictures the window
// with its frame, as the window manager draws it.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <cstdio>

#include "engine/ucc.h"
#include "wizard/taaform1.h"

namespace {

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(Taaform1& form, const QString& file, bool offscreen) {
    settle(offscreen ? 50 : 400);
    const QPixmap picture =
        offscreen ? form.grab()
                  : form.screen()->grabWindow(0, form.frameGeometry().x(), form.frameGeometry().y(),
                                              form.frameGeometry().width(),
                                              form.frameGeometry().height());
    return picture.save(file);
}

// The run's lines as the engine writes them, with the source's real row
// counts, for builds where the engine is not in yet.
TRunOutcome standInRun(Tcc&, dbaccess::TOracleSource& source, dbaccess::TAccessTarget&,
                       const TRunSettings&, const QStringList& chosen, TRunLog& log, bool&,
                       const TRunHooks&, const TRunTexts& texts) {
    for (const QString& t : chosen) {
        log.append(QStringLiteral("Create table %1...Done").arg(t));
        log.append(QString());
        dbaccess::TOracleCursor& rows = source.oracledata;
        rows.close();
        rows.setQuery(QStringLiteral("select * from ") + t);
        rows.open();
        int count = 0;
        for (rows.first(); !rows.atEnd(); rows.next()) ++count;
        rows.close();
        log.append(QStringLiteral("Insert table %1 %2 Rows ...Done").arg(t).arg(count));
        log.append(QString());
    }
    log.append(texts.label29);
    log.append(texts.label30);
    log.append(texts.label32);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const bool offscreen = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
                           qEnvironmentVariableIsEmpty("DISPLAY");
    if (offscreen) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: wizard_screenshots OUTDIR SNAPSHOT\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    const QFileInfo snapshot(QString::fromLocal8Bit(argv[2]));
    // Short relative paths in the fields read better in a picture.
    QDir::setCurrent(snapshot.absolutePath());
    QFile::remove(QStringLiteral("sales.mdb"));

    Taaform1 form;
    Tcc ucc;
    form.ucc = &ucc;
    form.runConversion = [](auto&... args) -> TRunOutcome {
        try {
            return RunConversion(args...);
        } catch (const std::runtime_error& e) {
            if (QString::fromUtf8(e.what()) != QStringLiteral("The conversion is not built yet."))
                throw;
            return standInRun(args...);
        }
    };
    form.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, form.size(),
                                         form.screen()->availableGeometry()));
    form.show();
    bool ok = save(form, out + QStringLiteral("/page1.png"), offscreen);

    form.btnextClick();
    form.edtservice->setText(QStringLiteral("sqlite:") + snapshot.fileName());
    form.edtoracleusername->setText(QStringLiteral("scott"));
    form.edtoraclepassword->setText(QStringLiteral("tiger"));
    ok = save(form, out + QStringLiteral("/page3.png"), offscreen) && ok;

    form.btnextClick();
    form.editaccessname->setText(QStringLiteral("sales.mdb"));
    form.SaveDialog1.FileName = QStringLiteral("sales.mdb");
    form.cbaccessformat->setCurrentIndex(1);
    ok = save(form, out + QStringLiteral("/page4.png"), offscreen) && ok;

    form.btnextClick();
    for (int i = 0; i < form.availabletables->count(); ++i) {
        const QString name = form.availabletables->item(i)->text();
        form.availabletables->item(i)->setSelected(name == QStringLiteral("DEPARTMENTS") ||
                                                   name == QStringLiteral("EMPLOYEES") ||
                                                   name == QStringLiteral("ORDER_LINES"));
    }
    form.Button1Click();
    form.availabletables->item(2)->setSelected(true);
    ok = save(form, out + QStringLiteral("/page5.png"), offscreen) && ok;

    form.perform([&] { form.btnextClick(); });
    ok = save(form, out + QStringLiteral("/page6.png"), offscreen) && ok;
    if (form.currentpage != 6) std::fprintf(stderr, "the run did not reach page 6\n");
    return ok && form.currentpage == 6 ? 0 : 1;
}

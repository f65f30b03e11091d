#include <QApplication>
#include <QScreen>
#include <QStyle>

#include "engine/ucc.h"
#include "settings/batchrun.h"
#include "settings/settingsstore.h"
#include "settings/umarfrm_bat.h"
#include "wizard/taaform1.h"

int main(int argc, char* argv[])
{
    // Before the application object: a batch run without a display must not
    // ask for a windowing system it cannot have.
    PrepareBatchPlatform(argc > 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    QApplication::setDesktopFileName(QStringLiteral("ferrovane"));

    // The wizard first (its start-up, and a batch run's start, run now), then
    // the shortcut window, then the conversion module.
    TQSettingsStore store;
    Taaform1 form(QApplication::arguments().mid(1), &store);
    Tmarfrm_bat marfrm_bat;
    form.marfrm_bat = &marfrm_bat;
    Tcc ucc;
    form.ucc = &ucc;

    // A batch run whose setting file could not be loaded has ended already.
    if (!form.programEnded()) {
        form.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, form.size(),
                                             form.screen()->availableGeometry()));
        form.show();
        QApplication::exec();
    }
    return form.exitStatus();
}

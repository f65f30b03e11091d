#include <QApplication>
#include <QScreen>
#include <QStyle>

#include "engine/ucc.h"
#include "wizard/taaform1.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    QApplication::setDesktopFileName(QStringLiteral("ferrovane"));

    // The wizard first (its start-up runs now), then the conversion module.
    Taaform1 form(QApplication::arguments().mid(1));
    Tcc ucc;
    form.ucc = &ucc;

    form.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, form.size(),
                                         form.screen()->availableGeometry()));
    form.show();
    return QApplication::exec();
}

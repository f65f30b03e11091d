#include <QApplication>

#include "wizard/taaform1.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrovane 4.0"));
    Taaform1 form;
    form.show();
    return QApplication::exec();
}

#include "wizard/taaform1.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

Taaform1::Taaform1(QWidget* parent) : QWidget(parent)
{
    // A fixed single border with only the system menu and the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QApplication::applicationName());
    setFixedSize(594, 425);
    auto* layout = new QVBoxLayout(this);
    auto* welcome = new QLabel(QStringLiteral("Welcome to the Database Conversion Wizard"), this);
    layout->addWidget(welcome, 0, Qt::AlignCenter);
}

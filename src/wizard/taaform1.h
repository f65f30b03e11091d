#pragma once

#include <QWidget>

// The wizard's main window. Its pages and flow grow here; for now it carries
// the application title and the fixed client size.
class Taaform1 : public QWidget {
    Q_OBJECT
public:
    explicit Taaform1(QWidget* parent = nullptr);
};

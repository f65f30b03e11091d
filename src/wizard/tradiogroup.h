#pragma once

// A captioned group of radio items with one item index (-1: none chosen),
// laid out in columns.

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>

class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& name, const QStringList& items, int columns, QWidget* parent);

    int itemIndex() const { return group_.checkedId(); }
    // Any index outside the items clears the choice.
    void setItemIndex(int index);
    int count() const { return static_cast<int>(items_.size()); }
    QRadioButton* item(int index) const { return items_.at(index); }
    // Emits idClicked(index) when the user picks an item.
    QButtonGroup& buttons() { return group_; }

private:
    QButtonGroup group_;
    QList<QRadioButton*> items_;
};

#include "wizard/tradiogroup.h"

#include <QGridLayout>

TRadioGroup::TRadioGroup(const QString& name, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(parent), group_(this) {
    setObjectName(name);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setVerticalSpacing(2);
    const int perColumn = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_.addButton(button, i);
        items_.append(button);
        layout->addWidget(button, i % perColumn, i / perColumn);
    }
}

void TRadioGroup::setItemIndex(int index) {
    if (index >= 0 && index < count()) {
        items_[index]->setChecked(true);
        return;
    }
    // An exclusive group keeps one item checked; let go of it for a moment.
    group_.setExclusive(false);
    for (QRadioButton* button : items_) button->setChecked(false);
    group_.setExclusive(true);
}

// The two table lists of the table page: the available tables on the left,
// the chosen ones on the right, and the four moves between them.

#include "wizard/taaform1.h"

namespace {

// Once sorted, the available list keeps alphabetical order without regard
// to case, also for names added later.
class TTableItem : public QListWidgetItem {
public:
    explicit TTableItem(const QString& name) : QListWidgetItem(name) {}
    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

void Taaform1::addAvailableTable(const QString& name) {
    availabletables->addItem(new TTableItem(name));
}

QStringList Taaform1::availableNames() const {
    QStringList names;
    for (int i = 0; i < availabletables->count(); ++i) names.append(availabletables->item(i)->text());
    return names;
}

QStringList Taaform1::selectedNames() const {
    QStringList names;
    for (int i = 0; i < selecttables->count(); ++i) names.append(selecttables->item(i)->text());
    return names;
}

void Taaform1::applyNextRule() {
    if (currentpage == 5) btnext->setEnabled(selecttables->count() > 0);
}

void Taaform1::resortAvailable() {
    availabletables->setSortingEnabled(false);
    availabletables->setSortingEnabled(true);
    availabletables->sortItems(Qt::AscendingOrder);
}

void Taaform1::Button1Click() {
    const int p = selecttables->count();
    // Inserting each at the same place from the last down keeps their order.
    for (int i = availabletables->count() - 1; i >= 0; --i) {
        if (!availabletables->item(i)->isSelected()) continue;
        selecttables->insertItem(p, availabletables->item(i)->text());
        delete availabletables->takeItem(i);
    }
    applyNextRule();
}

void Taaform1::Button2Click() {
    for (int i = 0; i < availabletables->count(); ++i)
        selecttables->addItem(availabletables->item(i)->text());
    availabletables->clear();
    applyNextRule();
}

void Taaform1::Button3Click() {
    const int p = availabletables->count();
    for (int i = selecttables->count() - 1; i >= 0; --i) {
        if (!selecttables->item(i)->isSelected()) continue;
        availabletables->insertItem(p, new TTableItem(selecttables->item(i)->text()));
        delete selecttables->takeItem(i);
    }
    resortAvailable();
    applyNextRule();
}

void Taaform1::Button4Click() {
    for (int i = 0; i < selecttables->count(); ++i) addAvailableTable(selecttables->item(i)->text());
    selecttables->clear();
    resortAvailable();
    applyNextRule();
}

void Taaform1::availabletablesDblClick() { Button1Click(); }

void Taaform1::selecttablesDblClick() { Button3Click(); }

void Taaform1::bkstep5Click() {
    availabletables->clear();
    selecttables->clear();
}

#include "ui/qt/QtTableList.h"

#include "ui/SortedPlace.h"

#include <QItemSelectionModel>

namespace fq::ui::qt {

QtTableList::QtTableList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSortingEnabled(false); // entries go to their place through AddItem
    setUniformItemSizes(true);
}

int QtTableList::ListCount() const {
    return count();
}

QString QtTableList::List(int index) const {
    const QListWidgetItem* it = item(index);
    return it != nullptr ? it->text() : QString();
}

bool QtTableList::Selected(int index) const {
    const QListWidgetItem* it = item(index);
    return it != nullptr && it->isSelected();
}

void QtTableList::SetSelected(int index, bool selected) {
    if (QListWidgetItem* it = item(index))
        it->setSelected(selected);
}

int QtTableList::ListIndex() const {
    return currentRow();
}

void QtTableList::SetListIndex(int index) {
    const QModelIndex at =
        (index >= 0 && index < count()) ? model()->index(index, 0) : QModelIndex();
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
}

void QtTableList::Clear() {
    clear();
}

void QtTableList::AddItem(const QString& entry) {
    const int at = sortedPlace(
        count(), [this](int i) { return item(i)->text(); }, entry);
    insertItem(at, entry);
}

void QtTableList::RemoveItem(int index) {
    if (index < 0 || index >= count())
        return;
    const bool wasCurrent = currentRow() == index;
    delete takeItem(index);
    if (wasCurrent)
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

} // namespace fq::ui::qt

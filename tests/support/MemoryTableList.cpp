#include "support/MemoryTableList.h"

#include "ui/SortedPlace.h"

namespace fq::test {

int MemoryTableList::ListCount() const {
    return static_cast<int>(entries_.size());
}

QString MemoryTableList::List(int index) const {
    return entries_.at(index).text;
}

bool MemoryTableList::Selected(int index) const {
    return entries_.at(index).selected;
}

void MemoryTableList::SetSelected(int index, bool selected) {
    entries_[index].selected = selected;
}

int MemoryTableList::ListIndex() const {
    return current_;
}

void MemoryTableList::SetListIndex(int index) {
    current_ = (index >= 0 && index < ListCount()) ? index : -1;
}

void MemoryTableList::Clear() {
    entries_.clear();
    current_ = -1;
}

void MemoryTableList::AddItem(const QString& entry) {
    const int at = ui::sortedPlace(
        ListCount(), [this](int i) { return entries_.at(i).text; }, entry);
    entries_.insert(at, Entry{entry, false});
    if (current_ >= at)
        ++current_;
}

void MemoryTableList::RemoveItem(int index) {
    entries_.removeAt(index);
    if (current_ == index)
        current_ = -1;
    else if (current_ > index)
        --current_;
}

} // namespace fq::test

#include "ui/MemoryTableList.h"

#include "ui/SortedPlace.h"

namespace fq::ui {

void MemoryTableList::AddItem(const QString& entry) {
    const int at = sortedPlace(
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

} // namespace fq::ui

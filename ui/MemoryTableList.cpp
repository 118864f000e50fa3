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

QStringList MemoryTableList::entries() const {
    QStringList texts;
    texts.reserve(entries_.size());
    for (const Entry& e : entries_)
        texts.append(e.text);
    return texts;
}

QList<ListEntry> MemoryTableList::selectedEntries() const {
    QList<ListEntry> selected;
    for (int p = 0; p < ListCount(); ++p) {
        if (entries_.at(p).selected)
            selected.append(ListEntry{p, entries_.at(p).text});
    }
    return selected;
}

void MemoryTableList::setAllSelected(bool selected) {
    for (Entry& e : entries_)
        e.selected = selected;
}

void MemoryTableList::addItems(const QStringList& entries) {
    const QList<SortedInsert> inserts = sortedInserts(this->entries(), entries);
    if (inserts.isEmpty())
        return;
    QList<Entry> merged;
    merged.reserve(entries_.size() + inserts.size());
    int next = 0; // the first entry of the list not yet taken over
    int current = current_;
    for (const SortedInsert& insert : inserts) {
        for (; next < insert.place; ++next)
            merged.append(std::move(entries_[next]));
        if (current_ >= insert.place)
            ++current;
        merged.append(Entry{insert.text, false});
    }
    for (; next < ListCount(); ++next)
        merged.append(std::move(entries_[next]));
    entries_.swap(merged);
    current_ = current;
}

void MemoryTableList::removeItems(const QList<int>& positions) {
    QList<bool> gone(entries_.size(), false);
    for (const int p : positions) {
        if (p >= 0 && p < ListCount())
            gone[p] = true;
    }
    QList<Entry> kept;
    kept.reserve(entries_.size());
    int current = current_;
    for (int p = 0; p < ListCount(); ++p) {
        if (!gone.at(p))
            kept.append(std::move(entries_[p]));
        else if (p == current_)
            current = -1;
        else if (p < current_)
            --current;
    }
    entries_.swap(kept);
    current_ = current;
}

} // namespace fq::ui

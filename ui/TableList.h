#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace fq::ui {

// An entry of a list and its position at the time it was read.
struct ListEntry {
    int position = -1;
    QString text;
};

// A sorted table list with simple multiple selection and a current item, as the commands see
// it. Entries are kept in ascending order without regard to letter case; positions count from
// 0 in display order.
//
// A command on the worker thread reaches the window's list through a hand-over for every call,
// so it reads and changes a whole list with one call (entries, selectedEntries, addItems,
// removeItems, setAllSelected) rather than one item at a time.
class TableList {
public:
    virtual ~TableList() = default;

    virtual int ListCount() const = 0;
    virtual QString List(int index) const = 0;
    virtual bool Selected(int index) const = 0;
    virtual void SetSelected(int index, bool selected) = 0;
    // Position of the current item, -1 when there is none. Separate from the selection.
    virtual int ListIndex() const = 0;
    virtual void SetListIndex(int index) = 0;
    virtual void Clear() = 0;
    // Adds the entry at its sorted place, not selected.
    virtual void AddItem(const QString& entry) = 0;
    virtual void RemoveItem(int index) = 0;

    // Every entry, in display order.
    virtual QStringList entries() const = 0;
    // The selected entries with their positions, in display order.
    virtual QList<ListEntry> selectedEntries() const = 0;
    // Selects or deselects every entry; the current item stays where it is.
    virtual void setAllSelected(bool selected) = 0;
    // Adds the entries, not selected, where AddItem would put them one after another in the order
    // given: each after every entry that does not sort after it.
    virtual void addItems(const QStringList& entries) = 0;
    // Removes the entries at the positions (as they are before the call; a position outside the
    // list, or given twice, is passed over), as RemoveItem does one at a time.
    virtual void removeItems(const QList<int>& positions) = 0;
};

// True when an entry equals the name exactly (same characters, letter case included).
bool ListContains(const QString& name, const TableList& list);
// Walks positions 0..n-1 (n taken once) and removes the entry at p when it equals the name;
// the entry that moves up into p is not looked at again in this call.
void ListRemoveMatches(TableList& list, const QString& name);

} // namespace fq::ui

#pragma once

#include <QString>

namespace fq::ui {

// A sorted table list with simple multiple selection and a current item, as the commands see
// it. Entries are kept in ascending order without regard to letter case; positions count from
// 0 in display order.
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
};

// True when an entry equals the name exactly (same characters, letter case included).
bool ListContains(const QString& name, const TableList& list);
// Walks positions 0..n-1 (n taken once) and removes the entry at p when it equals the name;
// the entry that moves up into p is not looked at again in this call.
void ListRemoveMatches(TableList& list, const QString& name);

} // namespace fq::ui

#pragma once

#include "ui/TableList.h"

#include <QList>
#include <QString>

namespace fq::ui {

// A table list without a widget, for a front end that shows no list (the terminal) and for tests:
// the same sorting, selection and current-item rules as the window's lists. Removing an entry
// clears the current item when it stood on that entry and moves it up when it stood below.
class MemoryTableList final : public TableList {
public:
    int ListCount() const override { return static_cast<int>(entries_.size()); }
    QString List(int index) const override { return entries_.at(index).text; }
    bool Selected(int index) const override { return entries_.at(index).selected; }
    void SetSelected(int index, bool selected) override { entries_[index].selected = selected; }
    int ListIndex() const override { return current_; }
    void SetListIndex(int index) override { current_ = index < ListCount() ? qMax(index, -1) : -1; }
    void Clear() override { entries_.clear(), current_ = -1; }
    void AddItem(const QString& entry) override;
    void RemoveItem(int index) override;
    QStringList entries() const override;
    QList<ListEntry> selectedEntries() const override;
    void setAllSelected(bool selected) override;
    void addItems(const QStringList& entries) override;
    void removeItems(const QList<int>& positions) override;

private:
    struct Entry {
        QString text;
        bool selected = false;
    };
    QList<Entry> entries_;
    int current_ = -1;
};

} // namespace fq::ui

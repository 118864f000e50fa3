#pragma once

#include "ui/TableList.h"

#include <QList>

namespace fq::test {

// A TableList without a widget: the same sorting, selection and current-item rules as the
// window's lists. Removing an entry clears the current item when it stood on that entry and
// moves it up when it stood below.
class MemoryTableList final : public ui::TableList {
public:
    int ListCount() const override;
    QString List(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    void Clear() override;
    void AddItem(const QString& entry) override;
    void RemoveItem(int index) override;

private:
    struct Entry {
        QString text;
        bool selected = false;
    };
    QList<Entry> entries_;
    int current_ = -1;
};

} // namespace fq::test

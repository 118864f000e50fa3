#pragma once

#include "ui/TableList.h"

#include <QListWidget>

namespace fq::ui::qt {

// The window's table list: entries sorted without regard to letter case, simple multiple
// selection (a click or the space bar on the focused entry toggles it), and a current item that
// is separate from the selection and -1 when there is none. Removing the current entry leaves
// no current item.
//
// Only the user's pointing toggles an entry: a press of the left button on it, or the space bar
// while it has the focus. Everything else the list reacts to (arrow keys, Home/End, Page Up/Down
// with or without Shift or Ctrl, typed letters, dragging, Ctrl+A) at most moves the focus.
class QtTableList final : public QListWidget, public ui::TableList {
    Q_OBJECT
public:
    explicit QtTableList(QWidget* parent = nullptr);

    int ListCount() const override;
    QString List(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    void Clear() override;
    void AddItem(const QString& entry) override;
    void RemoveItem(int index) override;
    QStringList entries() const override;
    QList<ListEntry> selectedEntries() const override;
    void setAllSelected(bool selected) override;
    void addItems(const QStringList& entries) override;
    void removeItems(const QList<int>& positions) override;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace fq::ui::qt

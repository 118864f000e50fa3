#include "ui/qt/QtTableList.h"

#include "ui/SortedPlace.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

namespace fq::ui::qt {

namespace {

// Every entry one line of the list's own font high, whatever its characters. A name in a script
// the font lacks is drawn in a fallback font whose line may be taller (Chinese, Japanese and
// Korean ones are): by Qt's own measure that entry would be taller, and a list of uniform sizes
// takes one entry's size for all of them. The glyphs themselves still fit the line.
class OneLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem line(option);
        initStyleOption(&line, index);
        line.text = QStringLiteral("X"); // a character every font has
        const QWidget* widget = option.widget;
        const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        size.setHeight(
            style->sizeFromContents(QStyle::CT_ItemViewItem, &line, QSize(), widget).height());
        return size;
    }
};

} // namespace

QtTableList::QtTableList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSortingEnabled(false); // entries go to their place through AddItem
    setItemDelegate(new OneLineDelegate(this));
    setUniformItemSizes(true);
}

// The one rule for what user input does to the selection; Qt's views ask it for every key, mouse
// press, move and release, and (without an event) whenever the type-ahead search or a caller moves
// the current item. Qt's own multi-selection rule would also toggle the entry a search lands on
// and every entry a drag passes over.
QItemSelectionModel::SelectionFlags QtTableList::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    if (!index.isValid() || event == nullptr)
        return QItemSelectionModel::NoUpdate;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Space)
            return QItemSelectionModel::Toggle;
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton)
            return QItemSelectionModel::Toggle;
        break;
    default:
        break;
    }
    return QItemSelectionModel::NoUpdate;
}

// Two keys act on the selection in Qt's views around the rule above: the space bar, which after
// toggling is also fed to the type-ahead search as a typed blank and so moves the focus to the
// next name that begins with a blank, and the select-all shortcut, which selects every entry
// directly. Here the space bar only toggles the focused entry, and select-all is not a key of this
// list (the window's "Select All" buttons are).
void QtTableList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        const QModelIndex focused = currentIndex();
        selectionModel()->select(focused, selectionCommand(focused, event));
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        event->ignore();
        return;
    }
    QListWidget::keyPressEvent(event);
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

QStringList QtTableList::entries() const {
    QStringList texts;
    texts.reserve(count());
    for (int row = 0; row < count(); ++row)
        texts.append(item(row)->text());
    return texts;
}

// Read from the selection's ranges, in one pass: asking each entry whether it is selected looks
// through every range for each entry, and a list whose entries were clicked one by one has a
// range for each of them.
QList<ListEntry> QtTableList::selectedEntries() const {
    const int n = count();
    QList<bool> marked(n, false);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), n - 1); ++row)
            marked[row] = true;
    }
    QList<ListEntry> selected;
    for (int row = 0; row < n; ++row) {
        const QListWidgetItem* it = item(row);
        if (marked.at(row) && (it->flags() & Qt::ItemIsSelectable))
            selected.append(ListEntry{row, it->text()});
    }
    return selected;
}

void QtTableList::setAllSelected(bool selected) {
    if (count() == 0)
        return;
    selectionModel()->select(QItemSelection(model()->index(0, 0), model()->index(count() - 1, 0)),
                             selected ? QItemSelectionModel::Select
                                      : QItemSelectionModel::Deselect);
}

// The entries that go to the same place are inserted together, the places taken from the
// bottom up so that those still to fill stay where they were: into an empty list, all at once.
void QtTableList::addItems(const QStringList& entries) {
    const QList<SortedInsert> inserts = sortedInserts(this->entries(), entries);
    for (auto end = inserts.size(); end > 0;) {
        const int place = inserts[end - 1].place;
        auto begin = end - 1;
        while (begin > 0 && inserts[begin - 1].place == place)
            --begin;
        QStringList texts;
        texts.reserve(end - begin);
        for (auto i = begin; i < end; ++i)
            texts.append(inserts[i].text);
        insertItems(place, texts);
        end = begin;
    }
}

// Runs of neighbouring positions go together, from the bottom up.
void QtTableList::removeItems(const QList<int>& positions) {
    QList<int> rows;
    for (const int p : positions) {
        if (p >= 0 && p < count())
            rows.append(p);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const bool currentGoes = std::binary_search(rows.cbegin(), rows.cend(), currentRow());
    for (auto end = rows.size(); end > 0;) {
        auto begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        model()->removeRows(rows[begin], static_cast<int>(end - begin));
        end = begin;
    }
    if (currentGoes)
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

} // namespace fq::ui::qt

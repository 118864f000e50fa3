#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace fq::ui {

// Ordering of table lists: ascending, without regard to letter case.
bool sortsBefore(const QString& a, const QString& b);

// The position at which a new entry goes into a sorted list of `count` entries read through
// `entryAt`: after every entry that does not sort after it.
int sortedPlace(int count, const std::function<QString(int)>& entryAt, const QString& entry);

// An entry to add and the position in the list, as it was before, ahead of which it goes.
struct SortedInsert {
    int place = 0;
    QString text;
};

// Where several entries go into the sorted list `present` when added one after another in the
// order given: sorted (equal ones in the order given), each after every entry of the list that
// does not sort after it. Found in one pass over the list.
QList<SortedInsert> sortedInserts(const QStringList& present, QStringList added);

} // namespace fq::ui

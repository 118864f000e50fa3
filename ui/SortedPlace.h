#pragma once

#include <QString>

#include <functional>

namespace fq::ui {

// Ordering of table lists: ascending, without regard to letter case.
bool sortsBefore(const QString& a, const QString& b);

// The position at which a new entry goes into a sorted list of `count` entries read through
// `entryAt`: after every entry that does not sort after it.
int sortedPlace(int count, const std::function<QString(int)>& entryAt, const QString& entry);

} // namespace fq::ui

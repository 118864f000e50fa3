#include "ui/TableList.h"

namespace fq::ui {

bool ListContains(const QString& name, const TableList& list) {
    return list.entries().contains(name);
}

// Walked on the entries as they were: after r removals the entry at position p is the one that
// stood at p + r.
void ListRemoveMatches(TableList& list, const QString& name) {
    const QStringList entries = list.entries();
    const auto n = static_cast<int>(entries.size());
    QList<int> gone;
    for (int p = 0; p < n; ++p) {
        const int at = p + static_cast<int>(gone.size());
        if (at < n && entries.at(at) == name)
            gone.append(at);
    }
    if (!gone.isEmpty())
        list.removeItems(gone);
}

} // namespace fq::ui

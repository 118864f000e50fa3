#include "ui/SortedPlace.h"

#include <algorithm>

namespace fq::ui {

bool sortsBefore(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

int sortedPlace(int count, const std::function<QString(int)>& entryAt, const QString& entry) {
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (sortsBefore(entry, entryAt(mid)))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

QList<SortedInsert> sortedInserts(const QStringList& present, QStringList added) {
    std::stable_sort(added.begin(), added.end(), sortsBefore);
    QList<SortedInsert> inserts;
    inserts.reserve(added.size());
    const auto count = static_cast<int>(present.size());
    int at = 0;
    for (QString& entry : added) {
        while (at < count && !sortsBefore(entry, present[at]))
            ++at;
        inserts.append(SortedInsert{at, std::move(entry)});
    }
    return inserts;
}

} // namespace fq::ui

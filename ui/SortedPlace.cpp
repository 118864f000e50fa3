#include "ui/SortedPlace.h"

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

} // namespace fq::ui

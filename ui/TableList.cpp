#include "ui/TableList.h"

namespace fq::ui {

bool ListContains(const QString& name, const TableList& list) {
    bool found = false;
    const int n = list.ListCount();
    for (int p = 0; p < n; ++p) {
        if (list.List(p) == name)
            found = true;
    }
    return found;
}

void ListRemoveMatches(TableList& list, const QString& name) {
    const int n = list.ListCount();
    for (int p = 0; p < n; ++p) {
        if (p < list.ListCount() && list.List(p) == name)
            list.RemoveItem(p);
    }
}

} // namespace fq::ui

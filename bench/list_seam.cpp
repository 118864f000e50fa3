// Walking a large selection of the window's table list from a worker thread, as a command does.
//
//   build/bench/list_seam [entries] [--rounds N]
//
// A window's list of `entries` entries (40,000) is filled and selected in two ways: all at once,
// as Select All does, and entry by entry, as clicking each one does (a selection range for every
// entry). For each, a worker thread reads the selected entries (position and name) through the
// seam a command gets, one hand-over to the window's thread (selectedEntries); the anchor is the
// same reading done on the window's thread directly from the QListWidget: entry by entry after
// Select All, and from the widget's selectedItems() after selecting entry by entry (asking each
// entry whether it is selected looks through every range, some 17 s for 40,000 ranges). Both are
// timed N rounds (5), interleaved, and their medians and ratio printed, with whether the walk
// through the seam stays within 0.1 s. Then, once, after Select All, the walk as it was done
// before the lists had whole-list operations: one hand-over for every entry's question
// (selected?) and every selected entry's name. No server is needed; the list is not shown
// (QT_QPA_PLATFORM=offscreen unless set).
#include "BenchSupport.h"

#include "support/OnWorker.h"
#include "ui/TableList.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/UiThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelection>
#include <QItemSelectionModel>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace fq;

namespace {

constexpr double kGoalSeconds = 0.1;

// Runs `walk` on a worker thread while this (the window's) thread carries out the calls it
// hands over; returns the seconds the worker took.
double timedOnWorker(ui::qt::UiThread& ui, const std::function<void()>& walk) {
    double seconds = 0;
    test::onWorker(ui, [&] {
        QElapsedTimer clock;
        clock.start();
        walk();
        seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    });
    return seconds;
}

// The selected entries read on the window's thread straight from the widget.
QList<ui::ListEntry> readDirectly(const QListWidget& list) {
    QList<ui::ListEntry> selected;
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem* it = list.item(row);
        if (it->isSelected())
            selected.append(ui::ListEntry{row, it->text()});
    }
    return selected;
}

// The same from the widget's own list of selected items, put in display order.
QList<ui::ListEntry> readSelectedItems(const QListWidget& list) {
    QList<ui::ListEntry> selected;
    for (const QListWidgetItem* it : list.selectedItems())
        selected.append(ui::ListEntry{list.row(it), it->text()});
    std::sort(selected.begin(), selected.end(), [](const ui::ListEntry& a, const ui::ListEntry& b) {
        return a.position < b.position;
    });
    return selected;
}

// The walk before whole-list operations: every call a hand-over.
QList<ui::ListEntry> readOneByOne(const ui::TableList& list) {
    QList<ui::ListEntry> selected;
    for (int p = 0; p < list.ListCount(); ++p) {
        if (list.Selected(p))
            selected.append(ui::ListEntry{p, list.List(p)});
    }
    return selected;
}

bool sameEntries(const QList<ui::ListEntry>& a, const QList<ui::ListEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].position != b[i].position || a[i].text != b[i].text)
            return false;
    }
    return true;
}

// Returns false when a reading disagrees with the anchor.
bool measure(const char* title, ui::qt::QtTableList& list, ui::qt::UiThread& ui, int rounds,
             QList<ui::ListEntry> (*readAnchor)(const QListWidget&), bool oldWay) {
    ui::qt::UiThreadTableList seam(list, ui);
    const QList<ui::ListEntry> expected = readAnchor(list);
    std::vector<double> throughSeam;
    std::vector<double> direct;
    bool same = true;
    for (int round = 0; round < rounds; ++round) {
        QList<ui::ListEntry> read;
        const double seamSeconds = timedOnWorker(ui, [&] { read = seam.selectedEntries(); });
        same = same && sameEntries(read, expected);
        QElapsedTimer clock;
        clock.start();
        const QList<ui::ListEntry> anchor = readAnchor(list);
        const double directSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        same = same && sameEntries(anchor, expected);
        throughSeam.push_back(seamSeconds);
        direct.push_back(directSeconds);
    }
    const double seamMedian = bench::median(throughSeam);
    const double directMedian = bench::median(direct);
    std::printf("%s: %lld of %d entries selected\n", title, static_cast<long long>(expected.size()),
                list.count());
    std::printf("  through the seam from a worker (selectedEntries): median %.1f ms (",
                seamMedian * 1e3);
    for (std::size_t i = 0; i < throughSeam.size(); ++i)
        std::printf("%s%.1f", i == 0 ? "" : ", ", throughSeam[i] * 1e3);
    std::printf(")\n  directly on the window's thread (QListWidget, %s): median %.1f ms (",
                readAnchor == readDirectly ? "entry by entry" : "selectedItems()",
                directMedian * 1e3);
    for (std::size_t i = 0; i < direct.size(); ++i)
        std::printf("%s%.1f", i == 0 ? "" : ", ", direct[i] * 1e3);
    std::printf(")\n  seam / direct: %.2f; within %.1f s: %s\n", seamMedian / directMedian,
                kGoalSeconds, seamMedian <= kGoalSeconds ? "yes" : "NO");
    if (oldWay) {
        QList<ui::ListEntry> read;
        const double seconds = timedOnWorker(ui, [&] { read = readOneByOne(seam); });
        same = same && sameEntries(read, expected);
        std::printf("  one hand-over per call, as before (once): %.0f ms, %.0f times the seam's "
                    "median\n",
                    seconds * 1e3, seconds / seamMedian);
    }
    std::fflush(stdout);
    return same;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int entries = 40000;
    int rounds = 5;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--rounds" && i + 1 < args.size())
            rounds = args[++i].toInt();
        else
            entries = args[i].toInt();
    }
    if (entries <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: list_seam [entries] [--rounds N]\n");
        return 2;
    }
    std::printf("load average %.2f at the start\n", bench::loadAverage());

    ui::qt::UiThread ui;
    ui::qt::QtTableList list;
    QStringList names;
    names.reserve(entries);
    for (int i = 0; i < entries; ++i)
        names.append(QStringLiteral("table_%1").arg(i, 6, 10, QChar(u'0')));
    list.addItems(names);

    bool same = true;
    list.setAllSelected(true);
    same = measure("Select All", list, ui, rounds, readDirectly, true) && same;
    list.setAllSelected(false);
    QItemSelection each;
    for (int p = 0; p < list.count(); ++p)
        each.select(list.model()->index(p, 0), list.model()->index(p, 0));
    list.selectionModel()->select(each, QItemSelectionModel::Select);
    same = measure("every entry selected on its own", list, ui, rounds, readSelectedItems, false) &&
           same;

    std::printf("load average %.2f at the end\n", bench::loadAverage());
    if (!same) {
        std::fprintf(stderr, "list_seam: a reading differs from the widget's own selection\n");
        return 1;
    }
    return 0;
}

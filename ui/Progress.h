#pragma once

#include <QString>

namespace fq::ui {

// Where long work reports how far it has come, and learns that the user wants it stopped.
// Called on the thread that does the work; the window that shows it reads it on its own.
class Progress {
public:
    virtual ~Progress() = default;
    // A table's copy begins: its number (from 1) of `count`, its name, and an estimate of its
    // rows (-1 when the server gives none).
    virtual void beginTable(int number, int count, const QString& name, long long estimate) = 0;
    // `done` rows of the current table are on the target. False once the user has cancelled:
    // the work stops after this row.
    virtual bool update(long long done) = 0;
    // True once the user has cancelled.
    virtual bool cancelled() const = 0;
};

} // namespace fq::ui

#pragma once

#include <QString>

#include <chrono>
#include <optional>
#include <thread>

// How long the program waits for a server, and what is waiting right now.
namespace fq::odbc {

// The bounds on waiting, for every connection of the process. The program keeps the defaults;
// tests shorten them.
struct Limits {
    // Opening a connection: the drivers give up after this long.
    std::chrono::seconds login{15};
    // A call on an open connection that gets nothing back from its server for this long has its
    // connection cut: the call fails at once with Interruption::StoppedAnswering.
    std::chrono::seconds answer{60};
};
Limits limits();
void setLimits(const Limits& limits);

// One driver call in flight.
struct Wait {
    // The Driver= value of its connection string ("SQL Server", "MySQL ODBC 3.51 Driver").
    QString driver;
    // How long nothing has come back from the server during this call.
    std::chrono::milliseconds silent{0};
};

// The call of the given thread that has waited longest for its server, if it has one in flight.
std::optional<Wait> longestWait(std::thread::id thread);

// Cuts the connections of the given thread's calls that have waited at least `silentFor` for
// their server: each call fails at once with Interruption::Cancelled. A call that is getting its
// answer is left alone. Returns the number of connections cut. Safe from any thread.
int cancelWaitingCalls(std::thread::id thread, std::chrono::milliseconds silentFor);

// For as long as it lives, the calls of the thread that holds it count as the given thread's: a
// thread that works for another (reading ahead for a copy) is waited for and cancelled as that
// thread is.
class CallsCountAs {
public:
    explicit CallsCountAs(std::thread::id thread) noexcept;
    ~CallsCountAs();
    CallsCountAs(const CallsCountAs&) = delete;
    CallsCountAs& operator=(const CallsCountAs&) = delete;

private:
    std::thread::id before_;
};

} // namespace fq::odbc

#include "odbc/CallWatch.h"

#include "odbc/ConnectionHandle.h"
#include "odbc/Waiting.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace fq::odbc {

namespace {

using Clock = std::chrono::steady_clock;

// How often the watch looks at the calls in flight.
constexpr std::chrono::milliseconds kLookEvery{100};

std::atomic<std::int64_t> loginSeconds{Limits{}.login.count()};
std::atomic<std::int64_t> answerSeconds{Limits{}.answer.count()};

// The watched connections and the thread that cuts the silent ones. The thread runs while any
// connection is watched. Never destroyed: connections may outlive static objects at exit.
struct Watch {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ConnectionHandle*> connections;
    bool running = false;

    static Watch& instance() {
        static Watch* watch = new Watch();
        return *watch;
    }

    void run() {
        std::unique_lock lock(mutex);
        while (!connections.empty()) {
            const auto bound =
                std::chrono::milliseconds(std::chrono::seconds(answerSeconds.load()));
            const auto now = Clock::now();
            for (ConnectionHandle* c : connections) {
                if (!c->cutAtBound())
                    continue;
                const auto s = c->silence(now);
                if (s && s->silent >= bound)
                    c->cut(Interruption::StoppedAnswering);
            }
            changed.wait_for(lock, kLookEvery);
        }
        running = false;
    }
};

} // namespace

Limits limits() {
    return Limits{std::chrono::seconds(loginSeconds.load()),
                  std::chrono::seconds(answerSeconds.load())};
}

void setLimits(const Limits& l) {
    loginSeconds.store(l.login.count());
    answerSeconds.store(l.answer.count());
}

std::optional<Wait> longestWait(std::thread::id thread) {
    Watch& w = Watch::instance();
    const std::lock_guard lock(w.mutex);
    std::optional<Wait> longest;
    const auto now = Clock::now();
    for (const ConnectionHandle* c : w.connections) {
        const auto s = c->silence(now);
        if (!s || s->caller != thread)
            continue;
        if (!longest || s->silent > longest->silent)
            longest = Wait{c->driver(), s->silent};
    }
    return longest;
}

int cancelWaitingCalls(std::thread::id thread, std::chrono::milliseconds silentFor) {
    Watch& w = Watch::instance();
    const std::lock_guard lock(w.mutex);
    int cut = 0;
    const auto now = Clock::now();
    for (ConnectionHandle* c : w.connections) {
        const auto s = c->silence(now);
        if (s && s->caller == thread && s->silent >= silentFor && c->cut(Interruption::Cancelled))
            ++cut;
    }
    return cut;
}

namespace detail {

void CallWatch::add(ConnectionHandle& connection) {
    Watch& w = Watch::instance();
    const std::lock_guard lock(w.mutex);
    w.connections.push_back(&connection);
    if (!w.running) {
        w.running = true;
        std::thread([&w] { w.run(); }).detach();
    }
}

void CallWatch::remove(ConnectionHandle& connection) {
    Watch& w = Watch::instance();
    const std::lock_guard lock(w.mutex);
    w.connections.erase(std::remove(w.connections.begin(), w.connections.end(), &connection),
                        w.connections.end());
}

} // namespace detail

} // namespace fq::odbc

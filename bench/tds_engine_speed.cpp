// The test server's SQL half on its own (no network): the cost of one single-row INSERT batch,
// and a 1,000,000-row SELECT * streamed from the stored rows without a second copy.
// Run by hand: build/bench/tds_engine_speed [rows]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "Engine.h"

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

std::u16string u16(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    tds::Engine engine({{u"sa", u"pw"}}, {u"bench"});
    auto session = engine.login(u"sa", u"pw", u"bench").session;
    auto ignore = [](tds::StatementOutcome&&) {};
    session->executeBatch(u"CREATE TABLE [orders]([id] int,[customer] varchar(40),"
                          u"[placed] datetime,[amount] decimal(10,2))",
                          ignore);

    const long before = residentKiB();
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < rows; ++i) {
        session->executeBatch(u16("INSERT INTO [orders] VALUES('" + std::to_string(i) +
                                  "', 'O''Brien', '2026-02-14 10:00:00.123', '99.95')"),
                              ignore);
    }
    const auto inserted = std::chrono::steady_clock::now();
    const std::clock_t cpuInserted = std::clock();
    const long stored = residentKiB();

    long streamed = 0;
    long peak = stored;
    session->executeBatch(u"SELECT * FROM orders", [&](tds::StatementOutcome&& o) {
        std::vector<tds::Value> row;
        while (o.result->rows->next(row)) {
            if (++streamed % 100000 == 0) {
                peak = std::max(peak, residentKiB());
            }
        }
    });
    const auto selected = std::chrono::steady_clock::now();

    const double insertSeconds = std::chrono::duration<double>(inserted - start).count();
    const double selectSeconds = std::chrono::duration<double>(selected - inserted).count();
    const double insertCpu = static_cast<double>(cpuInserted - cpuStart) / CLOCKS_PER_SEC;
    std::printf("single-row INSERT batches: %ld in %.2f s (%.2f s CPU), %.2f us CPU each, "
                "%.0f per second\n",
                rows, insertSeconds, insertCpu, insertCpu * 1e6 / static_cast<double>(rows),
                static_cast<double>(rows) / insertSeconds);
    std::printf("SELECT * streamed %ld rows in %.2f s\n", streamed, selectSeconds);
    std::printf("memory: %ld MiB for the stored rows, %ld MiB more while streaming\n",
                (stored - before) / 1024, (peak - stored) / 1024);
    return streamed == rows ? 0 : 1;
}

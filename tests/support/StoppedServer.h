#pragma once

#include "sql/Server.h"

#include <sys/types.h>

namespace fq::test {

// A local server stopped with SIGSTOP, as a server that stops answering: its connections stay
// open and its kernel still accepts and acknowledges, but nothing comes back. It goes on again
// (SIGCONT) when the object goes, or earlier with resume(); also when the test process dies
// meanwhile, through a small guardian process, so that a crashing test never leaves a server
// stopped for the tests after it.
class StoppedServer {
public:
    // The process of one of the local servers (scripts/servers start writes their pid files).
    static pid_t pidOf(Server server);

    explicit StoppedServer(Server server);
    explicit StoppedServer(pid_t pid);
    ~StoppedServer();
    StoppedServer(const StoppedServer&) = delete;
    StoppedServer& operator=(const StoppedServer&) = delete;

    void resume();
    bool stopped() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    int guardian_ = -1; // the write end of the pipe the guardian waits on
};

} // namespace fq::test

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
    // One of the local servers (scripts/servers start writes their pid files).
    explicit StoppedServer(Server server);
    ~StoppedServer();
    StoppedServer(const StoppedServer&) = delete;
    StoppedServer& operator=(const StoppedServer&) = delete;

    void resume();

private:
    pid_t pid_ = -1;
    int guardian_ = -1; // the write end of the pipe the guardian waits on
};

} // namespace fq::test

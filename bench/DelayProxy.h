#pragma once

#include <QString>

#include <chrono>
#include <thread>

namespace fq::bench {

// A TCP forwarder between a client and a server on this machine that holds every piece of data
// it receives for a fixed time before passing it on, each way and in order: a network's delay
// added to every round trip, without anything leaving the loopback address. Each connection it
// accepts gets a connection of its own to the server. It runs on a thread of its own from
// construction to destruction, which closes every connection it still forwards.
class DelayProxy {
public:
    // Listens on address:port (a free port for 0) and forwards to address:serverPort, each way
    // after `delay`. Throws std::runtime_error when it cannot listen.
    DelayProxy(const QString& address, int port, int serverPort, std::chrono::microseconds delay);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int port() const { return port_; }

private:
    void run();

    QString address_;
    int serverPort_ = 0;
    std::chrono::microseconds delay_;
    int listener_ = -1;
    int wake_[2] = {-1, -1}; // a byte written to wake_[1] stops the thread
    int port_ = 0;
    std::thread thread_;
};

} // namespace fq::bench

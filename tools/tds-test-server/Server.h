#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tds {
class Engine;
}

namespace tds::wire {

class StatementLog;

// Listens on a loopback address (127.0.0.1 unless told) and serves each connection on its own
// thread until stop().
class Server {
public:
    Server(Engine& engine, StatementLog& log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens; throws std::runtime_error with the reason when it can't.
    // The address must be in 127.0.0.0/8.
    void listen(std::uint16_t port, const std::string& address = "127.0.0.1");
    std::uint16_t port() const { return port_; }
    // Accepts connections until stop(); then closes every connection and waits for its thread.
    void run();
    // Thread-safe; makes run() return.
    void stop();

private:
    struct Worker {
        std::thread thread;
        int fd = -1;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    void reap(bool all);

    Engine& engine_;
    StatementLog& log_;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::uint64_t nextConnection_ = 1;
    std::mutex mutex_;
    std::list<Worker> workers_;
};

} // namespace tds::wire

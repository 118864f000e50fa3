#include "Server.h"

#include "Connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tds::wire {

Server::Server(Engine& engine, StatementLog& log) : engine_(engine), log_(log) {
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

Server::~Server() {
    reap(true);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void Server::listen(std::uint16_t port, const std::string& where) {
    in_addr loopback{};
    if (::inet_pton(AF_INET, where.c_str(), &loopback) != 1 ||
        (ntohl(loopback.s_addr) >> 24) != 127)
        throw std::runtime_error("not a loopback address: " + where);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = loopback;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot listen on " + where + ":" + std::to_string(port) + ": " +
                                 std::strerror(errno));
    if (::listen(listenFd_, 64) != 0)
        throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

void Server::stop() {
    const char byte = 1;
    while (::write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

void Server::reap(bool all) {
    std::list<Worker> done;
    {
        const std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            if (all || it->finished->load()) {
                if (all)
                    ::shutdown(it->fd, SHUT_RDWR);
                done.splice(done.end(), workers_, it++);
            } else {
                ++it;
            }
        }
    }
    for (Worker& w : done) {
        w.thread.join();
        ::close(w.fd);
    }
}

void Server::run() {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents != 0)
            break;
        reap(false);
        if (ready <= 0 || (fds[0].revents & POLLIN) == 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        const std::uint64_t number = nextConnection_++;
        const std::lock_guard lock(mutex_);
        Worker& w = workers_.emplace_back();
        w.fd = fd;
        w.finished = finished;
        w.thread = std::thread([this, fd, number, finished] {
            {
                Connection connection(fd, number, engine_, log_);
                connection.run();
            }
            ::shutdown(fd, SHUT_RDWR);
            finished->store(true);
        });
    }
    ::close(listenFd_);
    listenFd_ = -1;
    reap(true);
}

} // namespace tds::wire

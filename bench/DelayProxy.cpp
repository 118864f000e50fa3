#include "DelayProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fq::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadSize = 64 * 1024;
// A side is not read while this much of what it sent waits for its time: the proxy holds no more
// than a network would.
constexpr std::size_t kMaxWaiting = 8 * 1024 * 1024;

struct Piece {
    Clock::time_point due;
    std::string bytes; // empty: the sender closed its side
    std::size_t sent = 0;
};

// One direction of a forwarded connection.
struct Flow {
    int from = -1;
    int to = -1;
    std::deque<Piece> waiting;
    std::size_t waitingBytes = 0;
    bool readEnded = false;
    bool passedEnd = false; // the end was passed on: `to` was shut down for writing
    bool blocked = false;   // `to` took no more: wait until it can

    bool readable() const { return !readEnded && waitingBytes < kMaxWaiting; }
};

// An accepted connection and its connection to the server.
struct Link {
    Flow up;   // client to server
    Flow down; // server to client
    bool failed = false;

    bool done() const { return failed || (up.passedEnd && down.passedEnd); }
};

sockaddr_in addressOf(const QString& address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.toLatin1().constData(), &a.sin_addr);
    return a;
}

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void setNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Passes on what is due; false when the receiving side is gone.
bool passOn(Flow& f, Clock::time_point now) {
    while (!f.waiting.empty() && !f.blocked && f.waiting.front().due <= now) {
        Piece& p = f.waiting.front();
        if (p.bytes.empty()) {
            shutdown(f.to, SHUT_WR);
            f.passedEnd = true;
            f.waiting.pop_front();
            continue;
        }
        const ssize_t n =
            send(f.to, p.bytes.data() + p.sent, p.bytes.size() - p.sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                f.blocked = true;
                return true;
            }
            return errno == EINTR;
        }
        p.sent += static_cast<std::size_t>(n);
        if (p.sent == p.bytes.size()) {
            f.waitingBytes -= p.bytes.size();
            f.waiting.pop_front();
        }
    }
    return true;
}

// Reads what has arrived and holds it until its time; false when the sending side failed.
bool take(Flow& f, Clock::time_point due) {
    std::string bytes(kReadSize, '\0');
    const ssize_t n = recv(f.from, bytes.data(), bytes.size(), 0);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    bytes.resize(static_cast<std::size_t>(n));
    if (n == 0)
        f.readEnded = true;
    f.waitingBytes += bytes.size();
    f.waiting.push_back(Piece{due, std::move(bytes), 0});
    return true;
}

} // namespace

DelayProxy::DelayProxy(const QString& address, int port, int serverPort,
                       std::chrono::microseconds delay)
    : address_(address), serverPort_(serverPort), delay_(delay) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = addressOf(address, port);
    socklen_t length = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        const std::string why = std::strerror(errno);
        close(listener_);
        throw std::runtime_error("the delay proxy cannot listen on " + address.toStdString() + ":" +
                                 std::to_string(port) + ": " + why);
    }
    port_ = ntohs(a.sin_port);
    setNonBlocking(listener_);
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        close(listener_);
        throw std::runtime_error("the delay proxy cannot make its pipe");
    }
    thread_ = std::thread([this] { run(); });
}

DelayProxy::~DelayProxy() {
    const char stop = 0;
    if (write(wake_[1], &stop, 1) != 1)
        std::terminate(); // the thread would run on with this object gone
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
    close(listener_);
}

void DelayProxy::run() {
    std::list<Link> links;
    for (;;) {
        Clock::time_point now = Clock::now();
        std::optional<Clock::time_point> next;
        for (auto l = links.begin(); l != links.end();) {
            for (Flow* f : {&l->up, &l->down}) {
                if (!passOn(*f, now))
                    l->failed = true;
                if (!f->waiting.empty() && !f->blocked)
                    next = std::min(next.value_or(f->waiting.front().due), f->waiting.front().due);
            }
            if (l->done()) {
                close(l->up.from);
                close(l->up.to);
                l = links.erase(l);
            } else {
                ++l;
            }
        }

        // The pipe, the listener, then each link's client and server. A side with nothing to
        // wait for is left out, so that a closed one does not wake the loop again and again.
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const Link& l : links) {
            const auto events = [](const Flow& reading, const Flow& writing) {
                return static_cast<short>((reading.readable() ? POLLIN : 0) |
                                          (writing.blocked ? POLLOUT : 0));
            };
            const short client = events(l.up, l.down);
            const short server = events(l.down, l.up);
            fds.push_back({client != 0 ? l.up.from : -1, client, 0});
            fds.push_back({server != 0 ? l.down.from : -1, server, 0});
        }
        timespec wait{};
        if (next) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::max(Clock::duration::zero(), *next - now));
            wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
            wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
        }
        if ((ppoll(fds.data(), fds.size(), next ? &wait : nullptr, nullptr) < 0 &&
             errno != EINTR) ||
            fds[0].revents != 0)
            break;

        now = Clock::now();
        const Clock::time_point due = now + delay_;
        std::size_t i = 2;
        for (Link& l : links) {
            for (auto [reading, writing] : {std::pair{&l.up, &l.down}, std::pair{&l.down, &l.up}}) {
                const short revents = fds[i++].revents;
                if ((revents & POLLOUT) != 0)
                    writing->blocked = false;
                if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 && reading->readable() &&
                    !take(*reading, due))
                    l.failed = true;
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in to = addressOf(address_, serverPort_);
            if (connect(server, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                close(server);
                close(client);
                continue;
            }
            for (const int fd : {client, server}) {
                setNonBlocking(fd);
                setNoDelay(fd);
            }
            Link& l = links.emplace_back();
            l.up.from = l.down.to = client;
            l.up.to = l.down.from = server;
        }
    }
    for (const Link& l : links) {
        close(l.up.from);
        close(l.up.to);
    }
}

} // namespace fq::bench

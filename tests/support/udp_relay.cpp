// The relay's thread: one poll loop over the listening socket, the
// per-client sockets towards the agent and the queue of delayed answers.
#include "tests/support/udp_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <iterator>
#include <utility>
#include <vector>

#include "tests/support/wake_pipe.h"

namespace osktest {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t k_max_clients = 16;
constexpr std::size_t k_max_pending = 256;
constexpr std::size_t k_max_datagram = 65536;

bool make_address(const std::string &text, unsigned short port, sockaddr_in &out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

bool same_client(const sockaddr_in &a, const sockaddr_in &b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

struct Client {
    sockaddr_in address;
    int upstream_fd;
};

struct PendingAnswer {
    Clock::time_point due;
    sockaddr_in client;
    std::vector<unsigned char> bytes;
};

// The tag and length of the BER element at offset at of the message,
// which must hold it whole; at moves to its contents.
bool ber_element(const std::vector<unsigned char> &message, std::size_t &at, unsigned char tag,
                 std::size_t &length) {
    if (message.size() - at < 2 || message[at] != tag)
        return false;
    std::size_t value = message[at + 1];
    at += 2;
    if (value & 0x80) {
        const std::size_t bytes = value & 0x7F;
        if (bytes == 0 || bytes > 4 || message.size() - at < bytes)
            return false;
        value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value = value << 8 | message[at++];
    }
    length = value;
    return message.size() - at >= length;
}

// Writes the error status and an error index of 1 into an SNMP answer,
// where both are one-byte integers, as snmpsimd encodes them. Anything
// else is left as it came.
void set_error_status(std::vector<unsigned char> &message, int status) {
    constexpr unsigned char k_sequence = 0x30, k_integer = 0x02, k_octets = 0x04;
    constexpr unsigned char k_response = 0xA2;
    std::size_t at = 0;
    std::size_t length = 0;
    if (!ber_element(message, at, k_sequence, length) ||
        !ber_element(message, at, k_integer, length))
        return;
    at += length; // version
    if (!ber_element(message, at, k_octets, length))
        return;
    at += length; // community
    if (!ber_element(message, at, k_response, length) ||
        !ber_element(message, at, k_integer, length))
        return;
    at += length; // request id
    if (!ber_element(message, at, k_integer, length) || length != 1)
        return;
    const std::size_t status_at = at++;
    if (!ber_element(message, at, k_integer, length) || length != 1)
        return;
    message[status_at] = static_cast<unsigned char>(status);
    message[at] = 1;
}

} // namespace

bool UdpRelay::start(const std::string &listen_address, unsigned short listen_port,
                     const std::string &agent_address, unsigned short agent_port,
                     std::string &error, std::chrono::seconds lifetime) {
    stop();
    sockaddr_in listen_sin;
    sockaddr_in agent_sin;
    if (!make_address(listen_address, listen_port, listen_sin) ||
        !make_address(agent_address, agent_port, agent_sin)) {
        error = "relay addresses must be dotted IPv4 addresses";
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&listen_sin), sizeof listen_sin) != 0) {
        error = "relay cannot bind " + listen_address + ":" + std::to_string(listen_port) + ": " +
                std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    if (pipe2(wake_fd_, O_CLOEXEC) != 0) {
        error = std::string("relay pipe: ") + std::strerror(errno);
        close(fd);
        return false;
    }
    agent_address_ = agent_address;
    agent_port_ = agent_port;
    requests_ = 0;
    answers_ = 0;
    resume();
    thread_ = std::thread(&UdpRelay::run, this, fd, Clock::now() + lifetime);
    return true;
}

void UdpRelay::stop() {
    osktest::stop_woken_thread(thread_, wake_fd_);
}

void UdpRelay::stop_answering_after(int n) {
    std::lock_guard<std::mutex> lock(faults_mutex_);
    relay_left_ = n < 0 ? 0 : n;
}

void UdpRelay::drop_answer(int k) {
    std::lock_guard<std::mutex> lock(faults_mutex_);
    drop_countdown_ = k < 0 ? 0 : k;
}

void UdpRelay::delay_answers(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(faults_mutex_);
    delay_ = delay;
}

void UdpRelay::answer_with_error(int error_status, int n) {
    std::lock_guard<std::mutex> lock(faults_mutex_);
    error_status_ = error_status;
    error_left_ = n;
}

void UdpRelay::resume() {
    std::lock_guard<std::mutex> lock(faults_mutex_);
    relay_left_ = -1;
    drop_countdown_ = 0;
    delay_ = std::chrono::milliseconds(0);
    error_status_ = 0;
    error_left_ = 0;
}

void UdpRelay::run(int listen_fd, Clock::time_point end) {
    sockaddr_in agent{};
    make_address(agent_address_, agent_port_, agent);
    std::vector<Client> clients;
    std::deque<PendingAnswer> pending;
    std::vector<unsigned char> buffer(k_max_datagram);

    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= end)
            break;
        // Pass back what is due.
        while (!pending.empty() && pending.front().due <= now) {
            const PendingAnswer &a = pending.front();
            // Counted before it leaves, so that a manager that has its
            // answer also sees it counted.
            ++answers_;
            sendto(listen_fd, a.bytes.data(), a.bytes.size(), 0,
                   reinterpret_cast<const sockaddr *>(&a.client), sizeof a.client);
            pending.pop_front();
        }
        Clock::time_point wake = end;
        if (!pending.empty() && pending.front().due < wake)
            wake = pending.front().due;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now);
        const int timeout = static_cast<int>(std::min<long long>(wait.count() + 1, 1000));

        std::vector<pollfd> fds;
        fds.push_back({wake_fd_[0], POLLIN, 0});
        fds.push_back({listen_fd, POLLIN, 0});
        for (const Client &c : clients)
            fds.push_back({c.upstream_fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;

        // Answers first: a new client below changes the table polled.
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (!(fds[i + 2].revents & (POLLIN | POLLERR)))
                continue;
            const ssize_t n = recv(clients[i].upstream_fd, buffer.data(), buffer.size(), 0);
            if (n < 0)
                continue; // an ICMP error of the agent's side
            bool drop = false;
            std::chrono::milliseconds delay;
            int error_status = 0;
            {
                std::lock_guard<std::mutex> lock(faults_mutex_);
                if (drop_countdown_ > 0 && --drop_countdown_ == 0)
                    drop = true;
                delay = delay_;
                if (error_left_ != 0) {
                    error_status = error_status_;
                    if (error_left_ > 0)
                        --error_left_;
                }
            }
            if (drop)
                continue;
            if (pending.size() == k_max_pending)
                pending.pop_front();
            // In order of the time each is due, equal times in arrival order.
            const Clock::time_point due = Clock::now() + delay;
            auto at = pending.end();
            while (at != pending.begin() && std::prev(at)->due > due)
                --at;
            std::vector<unsigned char> answer(buffer.begin(), buffer.begin() + n);
            if (error_status != 0)
                set_error_status(answer, error_status);
            pending.insert(at, {due, clients[i].address, std::move(answer)});
        }

        if (fds[1].revents & POLLIN) {
            sockaddr_in from{};
            socklen_t from_len = sizeof from;
            const ssize_t n = recvfrom(listen_fd, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr *>(&from), &from_len);
            if (n >= 0) {
                ++requests_;
                bool relay = true;
                {
                    std::lock_guard<std::mutex> lock(faults_mutex_);
                    if (relay_left_ == 0)
                        relay = false;
                    else if (relay_left_ > 0)
                        --relay_left_;
                }
                Client *client = nullptr;
                for (Client &c : clients)
                    if (same_client(c.address, from))
                        client = &c;
                if (relay && client == nullptr) {
                    if (clients.size() == k_max_clients) {
                        close(clients.front().upstream_fd);
                        clients.erase(clients.begin());
                    }
                    const int up = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
                    if (up >= 0 && connect(up, reinterpret_cast<const sockaddr *>(&agent),
                                           sizeof agent) == 0) {
                        clients.push_back({from, up});
                        client = &clients.back();
                    } else if (up >= 0) {
                        close(up);
                    }
                }
                if (relay && client != nullptr)
                    send(client->upstream_fd, buffer.data(), static_cast<std::size_t>(n), 0);
            }
        }
    }
    for (const Client &c : clients)
        close(c.upstream_fd);
    close(listen_fd);
}

} // namespace osktest

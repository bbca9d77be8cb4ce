// A fault-injecting UDP relay between an SNMP manager and an agent, run on
// a thread of the test process: it takes datagrams on a listening address,
// forwards each to the agent from a socket of its own per client, and sends
// the agent's answers back to that client. Told to, it stops answering,
// drops one answer, delays the answers or turns them into error answers,
// and it can be told to resume.
// Retries of the manager are requests like any other. It ends when stopped,
// when destroyed, and by itself after its lifetime.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace osktest {

class UdpRelay {
  public:
    UdpRelay() = default;
    ~UdpRelay() { stop(); }
    UdpRelay(const UdpRelay &) = delete;
    UdpRelay &operator=(const UdpRelay &) = delete;

    // Binds listen_address:listen_port and starts relaying to
    // agent_address:agent_port. False, with the reason in error, when the
    // port cannot be bound.
    bool start(const std::string &listen_address, unsigned short listen_port,
               const std::string &agent_address, unsigned short agent_port, std::string &error,
               std::chrono::seconds lifetime = std::chrono::seconds(120));
    void stop();

    // The next n requests are relayed; every later one is taken and
    // neither forwarded nor answered, as by an agent that has gone silent.
    void stop_answering_after(int n);
    // The k-th answer from now on (1 for the next one) is not passed back.
    void drop_answer(int k);
    // Every answer is passed back this long after it arrived.
    void delay_answers(std::chrono::milliseconds delay);
    // The next n answers (every one from now on for n -1) are passed back
    // with the SNMP error status given (2 noSuchName, 5 genErr, ...) and
    // error index 1, their bindings as the agent sent them, as from an
    // agent that has lost its UPS.
    void answer_with_error(int error_status, int n = -1);
    // No more faults: every request is relayed and answered again at once.
    void resume();

    // Datagrams taken from managers, and answers passed back to them.
    int requests() const { return requests_; }
    int answers() const { return answers_; }

  private:
    void run(int listen_fd, std::chrono::steady_clock::time_point end);

    std::thread thread_;
    int wake_fd_[2] = {-1, -1};
    std::string agent_address_;
    unsigned short agent_port_ = 0;

    std::mutex faults_mutex_;
    // Requests still relayed before silence; -1 for no limit.
    int relay_left_ = -1;
    // Answers still passed before the dropped one; 0 for none to drop.
    int drop_countdown_ = 0;
    std::chrono::milliseconds delay_{0};
    // Error status written into the answers, and how many are still to
    // carry it (-1 for no limit).
    int error_status_ = 0;
    int error_left_ = 0;

    std::atomic<int> requests_{0};
    std::atomic<int> answers_{0};
};

} // namespace osktest

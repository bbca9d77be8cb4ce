// A simulated UPS for the tests: a real snmpsimd on a loopback address,
// serving the data files of a directory (the community of each is the file
// name without ".snmprec"), and the loopback addresses the tests run their
// peers on.
//
// Loopback addresses: tests that run at the same time (ctest -j8 starts
// every test case as a process of its own) must not share an address, as
// every SNMP request goes to port 161. LoopbackLease takes one of
// 127.0.0.2 to 127.0.0.254 for the life of the object: an address is taken
// by an exclusive lock (flock) on the file /tmp/oskavelde-loopback/<address>,
// which the kernel releases when the holder ends, however it ends, and only
// when binding the port there succeeds. The scan starts at an address
// derived from a hash of the running test's name and the process id, so
// that parallel tests seldom probe the same addresses first.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>

namespace osktest {

class LoopbackLease {
  public:
    LoopbackLease() = default;
    ~LoopbackLease() { release(); }
    LoopbackLease(const LoopbackLease &) = delete;
    LoopbackLease &operator=(const LoopbackLease &) = delete;

    // Takes a free address on which UDP port port can be bound. False, with
    // the reason in error, when none is free or the port needs rights the
    // process lacks.
    bool acquire(unsigned short port, std::string &error);
    void release();
    // "127.0.0.x", or "" while no address is held.
    const char *address() const { return address_; }

  private:
    int lock_fd_ = -1;
    char address_[16] = {};
};

class SnmpSimulator {
  public:
    SnmpSimulator() = default;
    ~SnmpSimulator() { stop(); }
    SnmpSimulator(const SnmpSimulator &) = delete;
    SnmpSimulator &operator=(const SnmpSimulator &) = delete;

    // Starts snmpsimd on address:port with a copy of every *.snmprec file of
    // data_dir, and returns once it answers SNMP requests (up to a minute:
    // it indexes its data files first). False, with the reason and the
    // simulator's own output in error, when it does not come up.
    bool start(const std::string &address, const std::string &data_dir, std::string &error,
               unsigned short port = 161);
    // Stops it and removes its files; nothing when it is not running.
    void stop();
    bool running() const { return guardian_ > 0; }
    // What snmpsimd wrote so far.
    std::string output() const;

  private:
    bool wait_until_answering(const std::string &address, unsigned short port,
                              const std::string &community, std::string &error);

    pid_t guardian_ = -1;
    int keepalive_fd_ = -1;
    std::string work_dir_;
};

// The data files of the tests.
std::string snmpsim_data_dir();

// A fixture with one simulator per test suite on an address of its own,
// serving snmpsim_data_dir(). A test fails at its start when the simulator
// could not be started. Values written with SET stay for the suite (ctest
// runs each test in a process, and so with a simulator, of its own).
class SnmpsimTest : public ::testing::Test {
  public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

  protected:
    void SetUp() override;
    // The simulator's address, "127.0.0.x"; it listens on port 161.
    static const char *agent_address();
    // The simulator itself, for a test that stops and starts it again.
    static SnmpSimulator &simulator();

  private:
    static LoopbackLease *lease_;
    static SnmpSimulator *simulator_;
    static std::string *error_;
};

// One object of a simulator read with the SNMP layer's own session:
// its printable value, or "(no answer)".
std::string read_simulator_value(const char *agent, const char *community, const char *oid);

// Writes an integer to one object of a simulator with an SNMP SET in the
// community; false when the simulator does not accept it.
bool write_simulator_value(const char *agent, const char *community, const char *oid, long value);

} // namespace osktest

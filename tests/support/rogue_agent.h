// A broken or hostile SNMP version 1 agent for the tests, on a leased
// loopback address at port 161, run on a thread of the test process. It
// reads the PDU type, request id and the bindings' OIDs of every request
// (BER taken apart by hand) and sends back whatever the test's responder
// makes of it: answers for other objects, with more or fewer bindings or
// with another request id, several answers or none. Told to, it also
// floods the source of a request with large responses whose request id no
// request has, as a device gone wild on the network would. An answer can
// also leave from another port of its address, or from another address,
// as a host that forges answers would send it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/snmpsim_fixture.h"

namespace osktest {

// BER tags of the PDUs and values the rogue speaks.
constexpr unsigned char k_ber_integer = 0x02;
constexpr unsigned char k_ber_octets = 0x04;
constexpr unsigned char k_ber_null = 0x05;
constexpr unsigned char k_ber_timeticks = 0x43;
// The SNMPv2 exception values, which an SNMPv1 answer should never hold.
constexpr unsigned char k_ber_no_such_object = 0x80;
constexpr unsigned char k_ber_no_such_instance = 0x81;
constexpr unsigned char k_ber_end_of_mib_view = 0x82;
constexpr unsigned char k_pdu_get = 0xA0;
constexpr unsigned char k_pdu_get_next = 0xA1;
constexpr unsigned char k_pdu_set = 0xA3;

struct RogueRequest {
    unsigned char type = 0; // k_pdu_get, k_pdu_get_next or k_pdu_set
    long request_id = 0;
    std::vector<std::string> oids; // dotted, one per binding
    int index = 0;                 // 0 for the first request the agent took
};

struct RogueBinding {
    std::string oid; // dotted
    // Any other tag than those below is sent with no contents: NULL and
    // the exceptions.
    unsigned char type = k_ber_null;
    long number = 0;   // k_ber_integer, k_ber_timeticks
    std::string bytes; // k_ber_octets
};

RogueBinding rogue_integer(const std::string &oid, long value);
RogueBinding rogue_timeticks(const std::string &oid, long value);
RogueBinding rogue_text(const std::string &oid, const std::string &text);

// UPS-MIB objects the tests answer in their own way.
inline const std::string k_ups_output_source = "1.3.6.1.2.1.33.1.4.1.0";
inline const std::string k_ups_alarms_present = "1.3.6.1.2.1.33.1.6.1.0";
inline const std::string k_ups_alarm_descr = "1.3.6.1.2.1.33.1.6.2.1.2";

// Where an answer leaves from: the agent's own port 161, its address's
// port k_rogue_other_port, or port 161 of a second address it holds.
enum class RogueSource { own, other_port, other_address };
constexpr unsigned short k_rogue_other_port = 1161;

struct RogueAnswer {
    // Added to the request's id: 0 answers the request itself.
    long request_id_shift = 0;
    long error_status = 0;
    std::vector<RogueBinding> bindings;
    RogueSource from = RogueSource::own;
};

// The answer of a UPS on battery with a low battery to a GET or GET-NEXT
// of a poll: the model text given, upsOutputSource battery (5), 42
// minutes left, one input and one output line, 42 for every other
// number, and two alarm rows, upsAlarmOnBattery and upsAlarmLowBattery,
// walked from upsAlarmsPresent (2), after which a walk leaves the table.
RogueAnswer rogue_low_battery_ups(const RogueRequest &request, const std::string &model);

// The answers to one request, sent in order; none for silence. Called on
// the agent's thread only, so it may keep state of its own.
using RogueResponder = std::function<std::vector<RogueAnswer>(const RogueRequest &)>;

class RogueAgent {
  public:
    RogueAgent() = default;
    ~RogueAgent() { stop(); }
    RogueAgent(const RogueAgent &) = delete;
    RogueAgent &operator=(const RogueAgent &) = delete;

    // Leases two addresses, binds port 161 of both and port
    // k_rogue_other_port of the first, and starts answering on the first.
    // False, with the reason in error, when an address or a port cannot be
    // had.
    bool start(RogueResponder responder, std::string &error);
    void stop();
    // "127.0.0.x" once started: the address requests go to, and the one
    // answers from another address leave from.
    const char *address() const { return lease_.address(); }
    const char *other_address() const { return other_lease_.address(); }

    // The next request that arrives starts a flood towards its source
    // address and port, from port 161: per_second responses of about
    // bytes bytes each, for the duration, none of them with a request id
    // that any request had. The request is still given to the responder.
    void flood_next_source(std::size_t bytes, int per_second, std::chrono::milliseconds duration);

    // Requests taken, and flood datagrams sent so far.
    int requests() const { return requests_; }
    int flooded() const { return flooded_; }

  private:
    void run(int fd);
    void close_senders();

    LoopbackLease lease_;
    LoopbackLease other_lease_;
    // The sockets of the answers from another port and another address.
    int other_port_fd_ = -1;
    int other_address_fd_ = -1;
    std::thread thread_;
    int wake_fd_[2] = {-1, -1};
    RogueResponder responder_;

    std::mutex flood_mutex_;
    bool flood_armed_ = false;
    std::size_t flood_bytes_ = 0;
    int flood_per_second_ = 0;
    std::chrono::milliseconds flood_duration_{0};

    std::atomic<int> requests_{0};
    std::atomic<int> flooded_{0};
};

} // namespace osktest

// Benchmark: what a complete poll of a UPS without alarms costs beside the
// SNMP traffic it needs. It starts snmpsimd on a leased loopback address
// and times, against that same simulator and interleaved round by round,
// snmp_rq_send of the on-line UPS and a plain loop on Net-SNMP's own
// single-session API that sends the same 43 GETs in one session. It prints
// the median of each and their ratio as a line of the benchmark table.
// Usage: poll_overhead [rounds]
// The benchmark helpers come first: they name the platform's socket layer,
// which must be seen before the system's socket headers.
#include "bench/bench_support.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "poller/snmp_poll.h"
#include "poller/ups_mib.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "snmp/snmp_pp.h"
#include "tests/support/snmpsim_fixture.h"

namespace {

using bench::Clock;
using bench::median;
using bench::ms_since;

constexpr std::uint16_t kSlot = 0;
constexpr int kDefaultRounds = 60;
constexpr int kWarmUp = 5;
constexpr const char *kCommunity = "online";

struct RawOid {
    oid ids[MAX_OID_LEN];
    std::size_t len;
};

// Dotted text as the engine's sub-identifiers, without its MIB parser.
bool parse_oid(const char *text, RawOid &out) {
    out.len = 0;
    const char *p = text;
    while (*p != '\0' && out.len < MAX_OID_LEN) {
        char *end = nullptr;
        out.ids[out.len++] = std::strtoul(p, &end, 10);
        if (end == p)
            return false;
        p = *end == '.' ? end + 1 : end;
    }
    return *p == '\0';
}

// The 43 GETs of a poll in one session of their own, as the poll makes
// one; false when a request went unanswered or was refused.
bool plain_loop(const std::string &peer, const std::vector<RawOid> &oids, double &ms) {
    static u_char community[] = "online";
    const auto start = Clock::now();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = const_cast<char *>(peer.c_str());
    settings.version = SNMP_VERSION_1;
    settings.community = community;
    settings.community_len = std::strlen(kCommunity);
    settings.retries = 1;
    settings.timeout = 1000000;
    void *session = snmp_sess_open(&settings);
    if (session == nullptr)
        return false;
    bool ok = true;
    for (const RawOid &o : oids) {
        netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
        snmp_add_null_var(request, o.ids, o.len);
        netsnmp_pdu *answer = nullptr;
        if (snmp_sess_synch_response(session, request, &answer) != STAT_SUCCESS ||
            answer == nullptr || answer->errstat != SNMP_ERR_NOERROR)
            ok = false;
        if (answer != nullptr)
            snmp_free_pdu(answer);
    }
    snmp_sess_close(session);
    ms = ms_since(start);
    return ok;
}

bool one_poll(const char *address, double &ms) {
    const auto start = Clock::now();
    const std::uint8_t result = snmp_rq_send(0, address, kSlot);
    ms = ms_since(start);
    return result == 0;
}

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRounds;

    osktest::LoopbackLease lease;
    osktest::SnmpSimulator simulator;
    std::string error;
    if (!lease.acquire(161, error) ||
        !simulator.start(lease.address(), osktest::snmpsim_data_dir(), error)) {
        std::fprintf(stderr, "poll_overhead: no simulator: %s\n", error.c_str());
        return 1;
    }
    const std::string address = lease.address();
    const std::string peer = "udp:" + address + ":161";

    // Slot 0 as the device-table set-up leaves an SNMP slot; the poll logs
    // nowhere, as an agent without debug output.
    bDebug = 0;
    bDebugLog = 0;
    k_monitor = 0;
    auto record = std::make_unique<TDevice>();
    std::memset(record.get(), 0, sizeof(TDevice));
    std::snprintf(record->Name, sizeof record->Name, "%s", "Bench UPS");
    std::snprintf(record->Port, sizeof record->Port, "%s", address.c_str());
    record->Connection = AGSNMP;
    SM_DEV[kSlot] = record.get();
    std::snprintf(INI.UPS[kSlot].SNMPGetComm, sizeof INI.UPS[kSlot].SNMPGetComm, "%s", kCommunity);
    std::snprintf(INI.UPS[kSlot].SNMPSetComm, sizeof INI.UPS[kSlot].SNMPSetComm, "%s", kCommunity);
    Snmp::socket_startup();

    std::vector<RawOid> oids(oid_request_rows);
    for (int row = 0; row < oid_request_rows; ++row) {
        if (!parse_oid(OidRequest[row], oids[static_cast<std::size_t>(row)])) {
            std::fprintf(stderr, "poll_overhead: bad OID %s\n", OidRequest[row]);
            return 1;
        }
    }

    std::vector<double> poll_ms;
    std::vector<double> plain_ms;
    for (int round = -kWarmUp; round < rounds; ++round) {
        double poll = 0;
        double plain = 0;
        // Alternate which goes first, so that neither always meets the
        // simulator just after the other.
        bool ok;
        if (round % 2 == 0)
            ok = one_poll(address.c_str(), poll) && plain_loop(peer, oids, plain);
        else
            ok = plain_loop(peer, oids, plain) && one_poll(address.c_str(), poll);
        if (!ok) {
            std::fprintf(stderr, "poll_overhead: a request failed in round %d\n", round);
            SM_DEV[kSlot] = nullptr;
            return 1;
        }
        if (round >= 0) {
            poll_ms.push_back(poll);
            plain_ms.push_back(plain);
        }
    }
    SM_DEV[kSlot] = nullptr;

    const double poll = median(poll_ms);
    const double plain = median(plain_ms);
    std::fprintf(stderr,
                 "poll_overhead: UPS without alarms (community \"%s\") on snmpsimd at %s, %d rounds\n"
                 "  snmp_rq_send, 43 GETs:            %8.3f ms (median)\n"
                 "  Net-SNMP session loop, 43 GETs:   %8.3f ms (median)\n",
                 kCommunity, address.c_str(), rounds, poll, plain);
    bench::row("poll of one UPS vs plain Net-SNMP loop (median)", poll, plain, "ms", 2, "ratio <= 1.15",
               poll / plain <= 1.15);
    return 0;
}

// The session calls on Net-SNMP's single-session API. The engine is used
// without init_snmp, so it reads no MIB, configuration or persistent file
// and prints nothing; this build of it is not reentrant, so every call into
// it (session open and close included, and the request ids it counts in a
// global without a lock) runs under one process-wide mutex.
#include "snmp/snmp.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <net-snmp/library/large_fd_set.h>

#include <arpa/inet.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

static_assert(std::is_same_v<oid, unsigned long>, "Oid takes the engine's sub-identifiers as is");
static_assert(ASN_INTEGER == sNMP_SYNTAX_INT && ASN_OCTET_STR == sNMP_SYNTAX_OCTETS &&
                  ASN_OBJECT_ID == sNMP_SYNTAX_OID && ASN_IPADDRESS == sNMP_SYNTAX_IPADDR &&
                  ASN_COUNTER == sNMP_SYNTAX_CNTR32 && ASN_GAUGE == sNMP_SYNTAX_GAUGE32 &&
                  ASN_TIMETICKS == sNMP_SYNTAX_TIMETICKS && ASN_COUNTER64 == sNMP_SYNTAX_CNTR64 &&
                  SNMP_NOSUCHOBJECT == sNMP_SYNTAX_NOSUCHOBJECT &&
                  SNMP_ENDOFMIBVIEW == sNMP_SYNTAX_ENDOFMIBVIEW,
              "the engine's type tags are the syntax codes");

namespace {

std::mutex &engine_mutex() {
    static std::mutex mutex;
    return mutex;
}

// Once, under the engine mutex, before the first session: no configuration
// or persistent files, and the engine's own log discarded.
void prepare_engine() {
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_NO_TOKEN_WARNINGS, 1);
    // Without any handler the engine would fall back to standard error.
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
}

int status_of_engine_error(int error) {
    switch (error) {
    case SNMPERR_TIMEOUT:
        return SNMP_CLASS_TIMEOUT;
    case SNMPERR_BAD_SENDTO:
    case SNMPERR_BAD_RECVFROM:
    case SNMPERR_NO_SOCKET:
    case SNMPERR_BAD_LOCPORT:
        return SNMP_CLASS_TL_FAILED;
    case SNMPERR_MALLOC:
        return SNMP_CLASS_RESOURCE_UNAVAIL;
    case SNMPERR_TOO_LONG:
    case SNMPERR_BAD_ASN1_BUILD:
    case SNMPERR_BAD_PARSE:
    case SNMPERR_ASN_PARSE_ERR:
        return SNMP_CLASS_ASN1ERROR;
    case SNMPERR_BAD_ADDRESS:
        return SNMP_CLASS_INVALID_ADDRESS;
    default:
        return SNMP_CLASS_ERROR;
    }
}

// An answer's error status: SNMPv1's 1 to 5 as they are, anything else an
// agent may put there as the general "error status set".
int status_of_answer(long errstat) {
    if (errstat >= SNMP_ERROR_TOO_BIG && errstat <= SNMP_ERROR_GENERAL_VB_ERR)
        return static_cast<int>(errstat);
    return errstat == 0 ? SNMP_CLASS_SUCCESS : SNMP_CLASS_ERR_STATUS_SET;
}

// Hundredths of a second as the engine's microseconds, at most an hour.
long engine_timeout(unsigned long centiseconds) {
    constexpr unsigned long k_max = 360000;
    return static_cast<long>(centiseconds > k_max ? k_max : centiseconds) * 10000L;
}

using Clock = std::chrono::steady_clock;

// How long a request may wait, from its first try to the end of its last
// retry: the session's microseconds a try (at most an hour) for each try,
// and a grace in which the engine's own last time-out comes first.
Clock::duration request_time_limit(long timeout_us, int retries) {
    constexpr long long k_max_us = 24LL * 3600 * 1000000;
    const long long per_try = timeout_us > 0 ? timeout_us : 0;
    const long long tries = static_cast<long long>(retries > 0 ? retries : 0) + 1;
    const long long total = per_try != 0 && tries > k_max_us / per_try ? k_max_us : per_try * tries;
    return std::chrono::microseconds(total) + std::chrono::milliseconds(100);
}

} // namespace

// Conversion between bindings and the engine's variables, with access to
// the private parts of Vb.
class SnmpBinding {
  public:
    static bool add_to(netsnmp_pdu *pdu, const Vb &vb);
    static void take_from(const netsnmp_variable_list *var, Vb &vb);
};

bool SnmpBinding::add_to(netsnmp_pdu *pdu, const Vb &vb) {
    oid name[MAX_OID_LEN];
    const unsigned long name_len = vb.oid_.len();
    for (unsigned long i = 0; i < name_len; ++i)
        name[i] = vb.oid_[i];
    const void *value = nullptr;
    std::size_t len = 0;
    u_char type = static_cast<u_char>(vb.syntax_);
    long integer = 0;
    u_long unsigned_value = 0;
    counter64 wide{};
    oid oid_value[MAX_OID_LEN];
    switch (vb.syntax_) {
    case sNMP_SYNTAX_INT:
        integer = static_cast<long>(vb.signed_);
        value = &integer;
        len = sizeof integer;
        break;
    case sNMP_SYNTAX_CNTR32:
    case sNMP_SYNTAX_GAUGE32:
    case sNMP_SYNTAX_TIMETICKS:
    case sNMP_SYNTAX_UINT32:
        unsigned_value = static_cast<u_long>(vb.unsigned_ & 0xFFFFFFFFu);
        value = &unsigned_value;
        len = sizeof unsigned_value;
        break;
    case sNMP_SYNTAX_CNTR64:
        wide.high = static_cast<u_long>(vb.unsigned_ >> 32);
        wide.low = static_cast<u_long>(vb.unsigned_ & 0xFFFFFFFFu);
        value = &wide;
        len = sizeof wide;
        break;
    case sNMP_SYNTAX_OCTETS:
    case sNMP_SYNTAX_OPAQUE:
    case sNMP_SYNTAX_BITS:
    case sNMP_SYNTAX_IPADDR:
        value = vb.bytes_.data();
        len = vb.bytes_.size();
        break;
    case sNMP_SYNTAX_OID:
        for (unsigned long i = 0; i < vb.oid_value_.len(); ++i)
            oid_value[i] = vb.oid_value_[i];
        value = oid_value;
        len = vb.oid_value_.len() * sizeof(oid);
        break;
    default:
        type = ASN_NULL;
        break;
    }
    return snmp_pdu_add_variable(pdu, name, name_len, type, value, len) != nullptr;
}

void SnmpBinding::take_from(const netsnmp_variable_list *var, Vb &vb) {
    vb.oid_ = Oid(var->name, static_cast<unsigned long>(var->name_length));
    vb.syntax_ = var->type;
    switch (var->type) {
    case ASN_INTEGER:
        if (var->val.integer != nullptr)
            vb.signed_ = *var->val.integer;
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
        if (var->val.integer != nullptr)
            vb.unsigned_ = static_cast<u_long>(*var->val.integer) & 0xFFFFFFFFu;
        break;
    case ASN_COUNTER64:
        if (var->val.counter64 != nullptr)
            vb.unsigned_ =
                (static_cast<std::uint64_t>(var->val.counter64->high & 0xFFFFFFFFu) << 32) |
                (var->val.counter64->low & 0xFFFFFFFFu);
        break;
    case ASN_OCTET_STR:
    case ASN_OPAQUE:
    case ASN_BIT_STR:
    case ASN_IPADDRESS:
        if (var->val.string != nullptr)
            vb.bytes_.assign(reinterpret_cast<const char *>(var->val.string), var->val_len);
        break;
    case ASN_OBJECT_ID:
        if (var->val.objid != nullptr)
            vb.oid_value_ =
                Oid(var->val.objid, static_cast<unsigned long>(var->val_len / sizeof(oid)));
        break;
    default:
        // NULL, the exceptions and the engine's opaque special types carry
        // no value this layer prints.
        break;
    }
}

namespace {

// Order of two identifiers, sub-identifier by sub-identifier, a prefix
// before what extends it: negative, 0 or positive.
int compare(const Oid &a, const Oid &b) {
    const unsigned long common = a.len() < b.len() ? a.len() : b.len();
    for (unsigned long i = 0; i < common; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return a.len() == b.len() ? 0 : (a.len() < b.len() ? -1 : 1);
}

// Whether an answer's bindings are those of the request: as many, each for
// the object asked for, or for GET-NEXT an object after it. Anything else
// (an answer meant for another request, a device that names other objects)
// would put a value where it does not belong.
bool answers_request(int command, const std::vector<Vb> &asked, const std::vector<Vb> &answer) {
    if (answer.size() != asked.size())
        return false;
    for (std::size_t i = 0; i < asked.size(); ++i) {
        Oid wanted;
        Oid named;
        asked[i].get_oid(wanted);
        answer[i].get_oid(named);
        const int order = compare(named, wanted);
        if (command == SNMP_MSG_GETNEXT ? order <= 0 : order != 0)
            return false;
    }
    return true;
}

// One request in flight: where it went, what was asked, and what the
// engine called back with.
struct Exchange {
    int command = 0;
    std::uint8_t peer[4] = {};
    unsigned short peer_port = 0;
    const std::vector<Vb> *asked = nullptr;
    bool done = false;
    // The wait itself failed (no select), with the request still pending.
    bool waiting_failed = false;
    int status = SNMP_CLASS_TIMEOUT;
    // The answer's bindings, and whether they take the request's place.
    std::vector<Vb> answer;
    bool replaces_request = false;
};

// Whether a datagram came from the address and port its request went to.
// The engine matches an answer to its request by the request id alone and
// takes it from whoever sent it; the UDP transport keeps the datagram's
// source at the head of the pdu's transport data.
bool from_peer(const netsnmp_pdu *answer, const Exchange &exchange) {
    if (answer == nullptr || answer->transport_data == nullptr ||
        answer->transport_data_length < static_cast<int>(sizeof(netsnmp_sockaddr_storage)))
        return false;
    netsnmp_sockaddr_storage source;
    std::memcpy(&source, answer->transport_data, sizeof source);
    return source.sa.sa_family == AF_INET &&
           std::memcmp(&source.sin.sin_addr, exchange.peer, sizeof exchange.peer) == 0 &&
           ntohs(source.sin.sin_port) == exchange.peer_port;
}

int take_answer(int operation, netsnmp_session *, int, netsnmp_pdu *answer, void *magic) {
    auto &exchange = *static_cast<Exchange *>(magic);
    // A retry being sent (or a stream's connection made) is news of a
    // request still under way.
    if (exchange.done || operation == NETSNMP_CALLBACK_OP_RESEND ||
        operation == NETSNMP_CALLBACK_OP_CONNECT)
        return 1;
    // Only the agent asked answers a request: a datagram from any other
    // address or port, whatever request id it carries, is passed over as
    // if it had not come. Returning 0 tells the engine that the request is
    // still open, so it keeps waiting (and retrying) on its own time. Any
    // host that could reach the session's port could otherwise write a
    // device's values, by guessing or seeing the id.
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && !from_peer(answer, exchange))
        return 0;
    exchange.done = true;
    switch (operation) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
        break;
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
        exchange.status = SNMP_CLASS_TIMEOUT;
        return 1;
    case NETSNMP_CALLBACK_OP_SEND_FAILED:
        exchange.status = SNMP_CLASS_TL_FAILED;
        return 1;
    default:
        exchange.status = SNMP_CLASS_ERROR;
        return 1;
    }
    if (answer == nullptr) {
        exchange.status = SNMP_CLASS_ERROR;
        return 1;
    }
    for (const netsnmp_variable_list *var = answer->variables; var != nullptr;
         var = var->next_variable) {
        Vb vb;
        SnmpBinding::take_from(var, vb);
        exchange.answer.push_back(vb);
    }
    if (answer->errstat != 0) {
        // An error answer counts by its status; the bindings it repeats
        // are passed on as they came.
        exchange.status = status_of_answer(answer->errstat);
        exchange.replaces_request = !exchange.answer.empty();
    } else if (answers_request(exchange.command, *exchange.asked, exchange.answer)) {
        exchange.status = SNMP_CLASS_SUCCESS;
        exchange.replaces_request = true;
    } else {
        exchange.status = SNMP_CLASS_ANSWER_MISMATCH;
    }
    return 1;
}

// Waits on the session until the engine has called back or the deadline
// has passed; false for the latter. Each datagram that arrives is read,
// and after every wake-up, whatever woke it, the engine looks at its
// clock: it resends and gives up only then, so a stream of datagrams that
// are no answer (wrong request ids, junk) cannot hold the request past
// its time-out, as it would in a wait that ran the time-outs only when
// nothing arrived.
bool wait_for_answer(void *session, Exchange &exchange, Clock::time_point deadline) {
    netsnmp_large_fd_set readable;
    netsnmp_large_fd_set_init(&readable, FD_SETSIZE);
    while (!exchange.done) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        timeval wait;
        wait.tv_sec = static_cast<time_t>(left.count() / 1000000);
        wait.tv_usec = static_cast<suseconds_t>(left.count() % 1000000);
        int fds = 0;
        int block = 0;
        NETSNMP_LARGE_FD_ZERO(&readable);
        // Shortens the wait to the engine's next time-out.
        snmp_sess_select_info2_flags(session, &fds, &readable, &wait, &block,
                                     NETSNMP_SELECT_NOALARMS);
        const int ready = netsnmp_large_fd_set_select(fds, &readable, nullptr, nullptr, &wait);
        if (ready < 0 && errno != EINTR) {
            exchange.waiting_failed = true;
            break;
        }
        if (ready > 0)
            snmp_sess_read2(session, &readable);
        if (!exchange.done)
            snmp_sess_timeout(session);
    }
    netsnmp_large_fd_set_cleanup(&readable);
    return exchange.done;
}

} // namespace

Snmp::Snmp(int &status, unsigned short port, bool bind_ipv6) : local_port_(port) {
    std::lock_guard<std::mutex> lock(engine_mutex());
    prepare_engine();
    if (bind_ipv6) {
        status = SNMP_CLASS_TL_UNSUPPORTED;
        return;
    }
    created_ = true;
    status = SNMP_CLASS_SUCCESS;
}

Snmp::~Snmp() {
    std::lock_guard<std::mutex> lock(engine_mutex());
    close_engine_session();
}

void Snmp::socket_startup() {
    std::lock_guard<std::mutex> lock(engine_mutex());
    prepare_engine();
}

void Snmp::socket_cleanup() {}

int Snmp::get(Pdu &pdu, const SnmpTarget &target) { return request(SNMP_MSG_GET, pdu, target); }

int Snmp::get_next(Pdu &pdu, const SnmpTarget &target) {
    return request(SNMP_MSG_GETNEXT, pdu, target);
}

int Snmp::set(Pdu &pdu, const SnmpTarget &target) { return request(SNMP_MSG_SET, pdu, target); }

void Snmp::close_engine_session() {
    if (session_ != nullptr)
        snmp_sess_close(session_);
    session_ = nullptr;
}

int Snmp::open_for(const UdpAddress &address) {
    if (session_ != nullptr && std::memcmp(peer_, address.bytes_, sizeof peer_) == 0 &&
        peer_port_ == address.get_port())
        return SNMP_CLASS_SUCCESS;
    close_engine_session();
    char peer[40];
    std::snprintf(peer, sizeof peer, "udp:%u.%u.%u.%u:%u", address.bytes_[0], address.bytes_[1],
                  address.bytes_[2], address.bytes_[3], address.get_port());
    char local[24];
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = peer;
    settings.version = SNMP_VERSION_1;
    if (local_port_ != 0) {
        std::snprintf(local, sizeof local, "0.0.0.0:%u", local_port_);
        settings.localname = local;
    }
    // The engine takes the port of the local address only when told to.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_CLIENT_ADDR_USES_PORT,
                           local_port_ != 0);
    session_ = snmp_sess_open(&settings);
    if (session_ == nullptr) {
        // The peer is a dotted address made here, so the engine's "bad
        // address" for it means that its transport could not be opened (no
        // descriptor left for the socket, no local port to bind): a
        // transport failure, as a send that fails would be.
        return settings.s_snmp_errno == SNMPERR_MALLOC ? SNMP_CLASS_RESOURCE_UNAVAIL
                                                       : SNMP_CLASS_TL_FAILED;
    }
    std::memcpy(peer_, address.bytes_, sizeof peer_);
    peer_port_ = address.get_port();
    return SNMP_CLASS_SUCCESS;
}

int Snmp::request(int command, Pdu &pdu, const SnmpTarget &target) {
    if (!created_)
        return SNMP_CLASS_INVALID;
    const auto *community_target = dynamic_cast<const CTarget *>(&target);
    if (community_target == nullptr)
        return SNMP_CLASS_INVALID_TARGET;
    const UdpAddress &address = community_target->address_;
    if (!address.valid())
        return SNMP_CLASS_INVALID_ADDRESS;
    if (address.get_ip_version() != IpAddress::version_ipv4)
        return SNMP_CLASS_TL_UNSUPPORTED;
    if (pdu.vbs_.empty())
        return SNMP_CLASS_INVALID_PDU;
    for (const Vb &vb : pdu.vbs_)
        if (!vb.oid_.valid())
            return SNMP_CLASS_INVALID_OID;
    const OctetStr &community = command == SNMP_MSG_SET ? community_target->write_community_
                                                        : community_target->read_community_;

    std::lock_guard<std::mutex> lock(engine_mutex());
    if (const int status = open_for(address); status != SNMP_CLASS_SUCCESS)
        return status;
    netsnmp_session *settings = snmp_sess_session(session_);
    settings->version = SNMP_VERSION_1;
    settings->retries = community_target->retries_;
    settings->timeout = engine_timeout(community_target->timeout_);
    if (settings->community_len != community.len() ||
        (community.len() != 0 &&
         std::memcmp(settings->community, community.data(), community.len()) != 0)) {
        auto *copy = static_cast<u_char *>(std::malloc(community.len() + 1));
        if (copy == nullptr)
            return SNMP_CLASS_RESOURCE_UNAVAIL;
        std::memcpy(copy, community.data(), community.len());
        std::free(settings->community);
        settings->community = copy;
        settings->community_len = community.len();
    }

    netsnmp_pdu *ask = snmp_pdu_create(command);
    if (ask == nullptr)
        return SNMP_CLASS_RESOURCE_UNAVAIL;
    for (const Vb &vb : pdu.vbs_) {
        if (!SnmpBinding::add_to(ask, vb)) {
            snmp_free_pdu(ask);
            return SNMP_CLASS_RESOURCE_UNAVAIL;
        }
    }
    Exchange exchange;
    exchange.command = command;
    std::memcpy(exchange.peer, address.bytes_, sizeof exchange.peer);
    exchange.peer_port = address.get_port();
    exchange.asked = &pdu.vbs_;
    const Clock::time_point deadline =
        Clock::now() + request_time_limit(settings->timeout, settings->retries);
    // The engine takes the request over and frees it once sent.
    if (snmp_sess_async_send(session_, ask, take_answer, &exchange) == 0) {
        snmp_free_pdu(ask);
        return status_of_engine_error(snmp_sess_session(session_)->s_snmp_errno);
    }
    if (!wait_for_answer(session_, exchange, deadline)) {
        // Still waiting at the deadline, or no way to wait at all: closing
        // the session drops the request, so that nothing is left to call
        // back into this exchange once it is gone.
        const int status = exchange.waiting_failed ? SNMP_CLASS_ERROR : SNMP_CLASS_TIMEOUT;
        close_engine_session();
        return status;
    }
    if (exchange.replaces_request)
        pdu.vbs_ = std::move(exchange.answer);
    return exchange.status;
}

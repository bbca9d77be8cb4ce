// The SNMP session: blocking GET, GET-NEXT and SET of the bindings of a Pdu
// to a community target, over a UDP socket of its own that the first request
// opens (another one when a later request goes to another agent). Each
// request waits for the answer or for the target's time-out, once for the
// first try and once more for every retry, and never longer, whatever else
// arrives on its socket meanwhile; only a datagram from the target's own
// address and port can answer it. Only IPv4 transports exist: a session
// asked for IPv6 is not created, and an IPv6 target is not reached.
#pragma once

#include <cstdint>

#include "snmp/pdu.h"
#include "snmp/snmp_errors.h"
#include "snmp/target.h"

class Snmp {
  public:
    // status receives SNMP_CLASS_SUCCESS when the session was created.
    // port is the local port (0: any free port the system picks).
    Snmp(int &status, unsigned short port = 0, bool bind_ipv6 = false);
    ~Snmp();
    Snmp(const Snmp &) = delete;
    Snmp &operator=(const Snmp &) = delete;

    // 0 when the agent answered without error with one binding for each
    // binding asked, in order, each for the object asked for (for GET-NEXT
    // an object after it); then pdu holds the answer's bindings.
    // SNMP_CLASS_ANSWER_MISMATCH for an answer without error that does not
    // fit the request so. The agent's error status (1 to 5) for an error
    // answer, the answer's bindings in pdu as well, if it has any;
    // SNMP_CLASS_ERR_STATUS_SET for an error status outside SNMPv1's, so
    // that no answer can pass for a library status. SNMP_CLASS_TIMEOUT when
    // no answer came, SNMP_CLASS_TL_FAILED when the transport failed,
    // another negative status for any other failure; pdu is then
    // unchanged.
    int get(Pdu &pdu, const SnmpTarget &target);
    int get_next(Pdu &pdu, const SnmpTarget &target);
    // Sent with the target's write community.
    int set(Pdu &pdu, const SnmpTarget &target);

    // A readable text for every status, "Unknown error code" for others.
    static const char *error_msg(int status);

    // Start and end of the process's socket use. Linux sockets need neither;
    // the start prepares the SNMP engine so that the first session does not.
    static void socket_startup();
    static void socket_cleanup();

  private:
    int request(int command, Pdu &pdu, const SnmpTarget &target);
    int open_for(const UdpAddress &address);
    void close_engine_session();

    bool created_ = false;
    unsigned short local_port_ = 0;
    // The engine's session, opened for the first agent asked and opened
    // anew when a request goes to another one.
    void *session_ = nullptr;
    std::uint8_t peer_[4] = {};
    unsigned short peer_port_ = 0;
};

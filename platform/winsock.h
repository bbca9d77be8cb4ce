// Windows Sockets 1.1 on BSD sockets: the UDP socket calls, address
// conversions and host-name look-ups that the client protocol server and
// its client make, with Winsock's names, constants and results.
//
// The structures and constants here are the layer's own, laid out and
// numbered as Winsock has them; the implementation converts them for the
// system. This header therefore must not meet the system's socket headers
// in one translation unit: their macros (AF_INET, FIONREAD, htons, ...)
// would rewrite the names below.
#pragma once

#if defined(AF_INET) || defined(FIONREAD) || defined(SOL_SOCKET)
#error "platform/winsock.h cannot be used together with the system's socket headers"
#endif

#include <cstdint>

#include "platform/win_types.h"

namespace platform {

using SOCKET = int;
using u_short = std::uint16_t;
using u_long = std::uint32_t;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_UDP = 17;

constexpr u_long INADDR_ANY = 0x00000000;
constexpr u_long INADDR_NONE = 0xFFFFFFFF;

constexpr long FIONBIO = static_cast<long>(0x8004667E);
constexpr long FIONREAD = 0x4004667F;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_BROADCAST = 0x0020;

// Results of WSAStartup and of host-name look-ups that have no errno
// counterpart; every other error that WSAGetLastError reports is the errno
// value of the failed call.
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001; // no such name
constexpr int WSATRY_AGAIN = 11002;      // the resolver could not be asked now
constexpr int WSANO_RECOVERY = 11003;    // the resolver failed for good
constexpr int WSANO_DATA = 11004;        // the name is known but has no IPv4 address

constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return static_cast<WORD>(low | (static_cast<WORD>(high) << 8));
}
constexpr BYTE LOBYTE(WORD value) { return static_cast<BYTE>(value & 0xFF); }
constexpr BYTE HIBYTE(WORD value) { return static_cast<BYTE>(value >> 8); }

// An IPv4 address in network byte order, as it stands on the wire.
struct in_addr {
    u_long s_addr;
};

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};

// Family in host order; port and address in network order.
struct sockaddr_in {
    std::int16_t sin_family;
    u_short sin_port;
    in_addr sin_addr;
    char sin_zero[8];
};

static_assert(sizeof(sockaddr) == 16);
static_assert(sizeof(sockaddr_in) == 16);

using SOCKADDR = sockaddr;
using SOCKADDR_IN = sockaddr_in;
using IN_ADDR = in_addr;

// A host entry: the canonical name, no aliases, and the IPv4 addresses,
// each h_length (4) bytes in network order; both lists end with null.
struct hostent {
    char *h_name;
    char **h_aliases;
    std::int16_t h_addrtype;
    std::int16_t h_length;
    char **h_addr_list;
};
using HOSTENT = hostent;

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    u_short iMaxSockets;
    u_short iMaxUdpDg;
    char *lpVendorInfo;
};

// Starts the layer for one more user. A requested version below 1.1 fails
// with WSAVERNOTSUPPORTED; otherwise the record is filled as a 1.1 stack
// fills it (wVersion 1.1, wHighVersion 2.2, status "Running", the maximum
// number of sockets from the open-file limit, datagrams of up to 65507
// bytes) and the result is 0.
int WSAStartup(WORD requested_version, WSADATA *data);

// Ends one user's start: 0, or SOCKET_ERROR with WSANOTINITIALISED when
// the layer was not started.
int WSACleanup();

// The error code of the calling thread's last failed socket call: the
// system's errno value of that call, or one of the two codes above.
int WSAGetLastError();
void WSASetLastError(int error);

// The system's text for an error code of WSAGetLastError ("Network is
// unreachable", "Name or service not known"), in a buffer of the calling
// thread that the next call overwrites; never null. Not a Winsock call:
// Windows gives these texts through FormatMessage, whose codes differ from
// the errno values that this layer reports.
const char *socket_error_text(int error);

// An IPv4 socket (AF_INET with SOCK_DGRAM or SOCK_STREAM). INVALID_SOCKET
// when it cannot be made, also before WSAStartup. The value is never 0,
// since the callers take 0 for "no socket".
SOCKET socket(int family, int type, int protocol);

int closesocket(SOCKET s);

// Binds to an AF_INET address; SOCKET_ERROR for any other address or a
// length below that of sockaddr_in.
int bind(SOCKET s, const sockaddr *address, int length);

// FIONBIO: *argument not 0 makes the socket non-blocking, 0 blocking.
// FIONREAD: *argument receives the length of the next datagram waiting
// (0 when none). A waiting datagram of length 0 counts as 1, so that the
// caller takes it out of the queue: the system reports only the datagram
// at the head, and an empty one there would hide every datagram behind it.
int ioctlsocket(SOCKET s, long command, u_long *argument);

// SOL_SOCKET with SO_BROADCAST and a value of at least 4 bytes; any other
// option fails.
int setsockopt(SOCKET s, int level, int option, const char *value, int length);

// Receives one datagram into the buffer and its sender into *from (when
// from and from_length are given, *from_length at least 16). A datagram
// longer than the buffer fails with SOCKET_ERROR (errno EMSGSIZE) and is
// gone, as in Winsock; the buffer then holds its first bytes. A datagram
// of length 0 gives 0.
int recvfrom(SOCKET s, char *buffer, int length, int flags, sockaddr *from, int *from_length);

// Sends the bytes as one datagram to the AF_INET address; the count sent
// or SOCKET_ERROR.
int sendto(SOCKET s, const char *buffer, int length, int flags, const sockaddr *to, int to_length);

u_short htons(u_short value);
u_long htonl(u_long value);
u_short ntohs(u_short value);

// The address of a text in the Internet standard dotted form (also the
// short and hexadecimal forms that Winsock accepts), in network order;
// INADDR_NONE for anything else, a null or empty text included.
u_long inet_addr(const char *text);

// The dotted text of the address, in a buffer of the calling thread that
// the next call overwrites.
char *inet_ntoa(in_addr address);

// The local host name into name: 0, or SOCKET_ERROR (errno ENAMETOOLONG)
// when it does not fit with its terminator into length bytes.
int gethostname(char *name, int length);

// The IPv4 addresses of a host name or of an address text (at most 8 of
// them), or null when the name is null (EFAULT), longer than 255
// characters (ENAMETOOLONG) or cannot be resolved (WSAHOST_NOT_FOUND,
// WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA, or the errno value of a failed
// system call). The entry is the calling thread's own and is overwritten
// by its next call.
hostent *gethostbyname(const char *name);

} // namespace platform

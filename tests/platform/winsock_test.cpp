// The socket layer on BSD sockets: the start record and its count, sockets
// before the start, the waiting-bytes query (an empty datagram counts),
// datagrams longer than the buffer, the socket option, address texts and
// host look-ups.
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/thread.h"
#include "platform/winsock.h"

namespace {

using namespace platform;
// The system's u_long and u_short of <sys/types.h> would make these
// ambiguous through the using-directive.
using platform::u_long;
using platform::u_short;

class WinsockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data_), 0);
        receiver_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sender_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        ASSERT_NE(receiver_, INVALID_SOCKET);
        ASSERT_NE(sender_, INVALID_SOCKET);
        u_long on = 1;
        ASSERT_EQ(ioctlsocket(receiver_, FIONBIO, &on), 0);
        // Port 0: the system chooses; the sender learns it from a datagram
        // the receiver sends first.
        sockaddr_in any{};
        any.sin_family = AF_INET;
        ASSERT_EQ(bind(receiver_, reinterpret_cast<sockaddr *>(&any), sizeof any), 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = inet_addr("127.0.0.1");
        for (std::uint16_t port = 30001; port < 30400; ++port) {
            local.sin_port = htons(port);
            if (bind(sender_, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0) {
                sender_address_ = local;
                break;
            }
        }
        ASSERT_NE(sender_address_.sin_port, 0);
        ASSERT_EQ(sendto(receiver_, "x", 1, 0, reinterpret_cast<sockaddr *>(&sender_address_),
                         sizeof sender_address_),
                  1);
        char byte;
        sockaddr_in from{};
        int from_length = sizeof from;
        ASSERT_EQ(recvfrom(sender_, &byte, 1, 0, reinterpret_cast<sockaddr *>(&from), &from_length),
                  1);
        receiver_address_ = from;
    }
    void TearDown() override {
        closesocket(receiver_);
        closesocket(sender_);
        WSACleanup();
    }

    void send(const std::string &bytes) {
        ASSERT_EQ(sendto(sender_, bytes.data(), static_cast<int>(bytes.size()), 0,
                         reinterpret_cast<sockaddr *>(&receiver_address_),
                         sizeof receiver_address_),
                  static_cast<int>(bytes.size()));
    }
    u_long waiting() {
        u_long count = 12345;
        EXPECT_EQ(ioctlsocket(receiver_, FIONREAD, &count), 0);
        return count;
    }

    WSADATA data_{};
    SOCKET receiver_ = INVALID_SOCKET;
    SOCKET sender_ = INVALID_SOCKET;
    sockaddr_in sender_address_{};
    sockaddr_in receiver_address_{};
};

TEST_F(WinsockTest, StartRecordIsThatOfAVersion11Stack) {
    EXPECT_EQ(data_.wVersion, 0x0101);
    EXPECT_EQ(data_.wHighVersion, 0x0202);
    EXPECT_STREQ(data_.szSystemStatus, "Running");
    EXPECT_GT(data_.iMaxSockets, 0);
    EXPECT_EQ(data_.iMaxUdpDg, 65507);
}

TEST(WinsockStartTest, VersionsBelow11AreRefused) {
    WSADATA data{};
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinsockStartTest, SocketsNeedAStartAndEveryStartItsCleanup) {
    EXPECT_EQ(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    WSADATA data{};
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(WSACleanup(), 0);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_NE(s, 0);
    closesocket(s);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// With standard input closed the system hands out descriptor 0, which the
// callers take for "no socket".
TEST_F(WinsockTest, SocketIsNeverZero) {
    const int saved = ::dup(0);
    ASSERT_GE(saved, 0);
    ::close(0);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_NE(s, 0);
    closesocket(s);
    ASSERT_EQ(::dup2(saved, 0), 0);
    ::close(saved);
}

TEST_F(WinsockTest, WaitingBytesAreTheNextDatagramsLength) {
    EXPECT_EQ(waiting(), 0u);
    send("abcdef");
    EXPECT_EQ(waiting(), 6u);
    char buffer[16];
    EXPECT_EQ(recvfrom(receiver_, buffer, sizeof buffer, 0, nullptr, nullptr), 6);
    EXPECT_EQ(waiting(), 0u);
}

// An empty datagram at the head of the queue must not hide the ones behind
// it.
TEST_F(WinsockTest, EmptyDatagramCountsAsWaiting) {
    send("");
    send("next");
    EXPECT_EQ(waiting(), 1u);
    char buffer[16];
    sockaddr_in from{};
    int from_length = sizeof from;
    EXPECT_EQ(recvfrom(receiver_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from),
                       &from_length),
              0);
    EXPECT_EQ(from.sin_port, sender_address_.sin_port);
    EXPECT_EQ(from.sin_addr.s_addr, sender_address_.sin_addr.s_addr);
    EXPECT_EQ(from.sin_family, AF_INET);
    EXPECT_EQ(waiting(), 4u);
}

TEST_F(WinsockTest, DatagramLongerThanTheBufferFailsAndIsGone) {
    send(std::string(2501, 'a'));
    send("ok");
    char buffer[2500];
    EXPECT_EQ(recvfrom(receiver_, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), EMSGSIZE);
    EXPECT_EQ(recvfrom(receiver_, buffer, sizeof buffer, 0, nullptr, nullptr), 2);
}

TEST_F(WinsockTest, NonBlockingReceiveWithNothingWaitingFails) {
    char buffer[4];
    EXPECT_EQ(recvfrom(receiver_, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_TRUE(WSAGetLastError() == EAGAIN || WSAGetLastError() == EWOULDBLOCK);
}

TEST_F(WinsockTest, OnlyTheBroadcastOptionIsKnown) {
    const int on = 1;
    EXPECT_EQ(setsockopt(receiver_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on),
                         sizeof on),
              0);
    EXPECT_EQ(
        setsockopt(receiver_, SOL_SOCKET, 0x0004, reinterpret_cast<const char *>(&on), sizeof on),
        SOCKET_ERROR);
    EXPECT_EQ(
        setsockopt(receiver_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char *>(&on), 2),
        SOCKET_ERROR);
}

TEST_F(WinsockTest, BindRefusesAShortOrForeignAddress) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&address), 8), SOCKET_ERROR);
    address.sin_family = 23;
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address), SOCKET_ERROR);
    closesocket(s);
}

struct AddressText {
    const char *text;
    u_long address; // network order, as bytes a.b.c.d read on this host
};

void PrintTo(const AddressText &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class InetAddrTest : public ::testing::TestWithParam<AddressText> {};

TEST_P(InetAddrTest, ConvertsTheTextsWinsockAccepts) {
    EXPECT_EQ(inet_addr(GetParam().text), GetParam().address) << GetParam().text;
}

u_long bytes(unsigned a, unsigned b, unsigned c, unsigned d) {
    const unsigned char raw[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    u_long out;
    std::memcpy(&out, raw, sizeof out);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Texts, InetAddrTest,
                         ::testing::Values(AddressText{"127.0.0.1", bytes(127, 0, 0, 1)},
                                           AddressText{"10.1.2.3", bytes(10, 1, 2, 3)},
                                           AddressText{"127.1", bytes(127, 0, 0, 1)},
                                           AddressText{"0x7f.0.0.2", bytes(127, 0, 0, 2)},
                                           AddressText{"255.255.255.255", INADDR_NONE},
                                           AddressText{"", INADDR_NONE},
                                           AddressText{"256.0.0.1", INADDR_NONE},
                                           AddressText{"ups.example", INADDR_NONE}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(WinsockTextTest, NullTextIsNoAddress) { EXPECT_EQ(inet_addr(nullptr), INADDR_NONE); }

TEST(WinsockTextTest, DottedTextOfAnAddress) {
    in_addr address{};
    address.s_addr = bytes(192, 168, 1, 254);
    EXPECT_STREQ(inet_ntoa(address), "192.168.1.254");
    EXPECT_EQ(htons(0x1234), ntohs(0x1234));
    EXPECT_EQ(ntohs(htons(0x1234)), 0x1234);
    const u_short wire = htons(0x1234);
    unsigned char raw[2];
    std::memcpy(raw, &wire, 2);
    EXPECT_EQ(raw[0], 0x12);
    const u_long wire32 = htonl(0x01020304);
    unsigned char raw4[4];
    std::memcpy(raw4, &wire32, 4);
    EXPECT_EQ(raw4[0], 0x01);
    EXPECT_EQ(raw4[3], 0x04);
}

TEST(WinsockHostTest, HostNameNeedsRoomForItsTerminator) {
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name), 0);
    const int length = static_cast<int>(std::strlen(name));
    ASSERT_GT(length, 0);
    char exact[256] = {};
    EXPECT_EQ(gethostname(exact, length + 1), 0);
    EXPECT_STREQ(exact, name);
    EXPECT_EQ(gethostname(exact, length), SOCKET_ERROR);
}

TEST(WinsockHostTest, LookUpGivesIPv4Addresses) {
    const hostent *host = gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    in_addr first{};
    std::memcpy(&first.s_addr, host->h_addr_list[0], 4);
    EXPECT_EQ(std::string(inet_ntoa(first)).substr(0, 4), "127.");
    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    EXPECT_EQ(gethostbyname(std::string(300, 'a').c_str()), nullptr);
    EXPECT_EQ(gethostbyname(nullptr), nullptr);
}

// A failed look-up says why as the resolver does, whether or not a name
// server can be reached from here; a failed send as the system does.
TEST(WinsockHostTest, FailuresCarryTheSystemsReason) {
    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    const std::string why = socket_error_text(WSAGetLastError());
    EXPECT_TRUE(why == "Name or service not known" || why == "Temporary failure in name resolution")
        << WSAGetLastError() << " " << why;
    EXPECT_EQ(gethostbyname(std::string(300, 'a').c_str()), nullptr);
    EXPECT_STREQ(socket_error_text(WSAGetLastError()), "File name too long");
    EXPECT_STREQ(socket_error_text(ENETUNREACH), "Network is unreachable");
}

} // namespace

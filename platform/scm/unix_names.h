// The sockets of this network namespace that are bound to names in the
// abstract namespace of Unix sockets, with the user each belongs to, as
// the kernel's socket diagnostics (NETLINK_SOCK_DIAG) report them. No
// socket is connected to on the way, so a socket that takes no
// connections, or whose queue is full, is told as surely as any, and its
// holder has no say in it. And the process that holds a socket, found
// among the descriptors in /proc.
#pragma once

#include <functional>
#include <string>

namespace platform::scm {

struct AbstractName {
    std::string name;        // without the leading NUL
    unsigned uid = 0;        // the user the socket belongs to
    unsigned long inode = 0; // the socket's inode, as /proc names it
};

// Calls found for every socket bound to an abstract name that begins with
// prefix, in the kernel's order. False when the kernel's socket
// diagnostics cannot be had or their answer is not sound; the sockets
// reported until then have been passed to found.
bool each_abstract_name(const std::string &prefix, const std::function<void(const AbstractName &)> &found);

// A process that holds the socket of the inode; 0 when none is found (the
// descriptors of another user's processes can be looked into by root
// only).
int socket_holder(unsigned long inode);

} // namespace platform::scm

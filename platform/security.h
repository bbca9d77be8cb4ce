// Security descriptors and security attributes, as far as the agent uses
// them: a descriptor whose access list is present and null grants every
// access to everyone. On Linux such an object is created with mode 0666
// whatever the umask; without that descriptor the usual defaults apply.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr DWORD SECURITY_DESCRIPTOR_MIN_LENGTH = 40;

constexpr WORD SE_DACL_PRESENT = 0x0004;
constexpr WORD SE_DACL_DEFAULTED = 0x0008;

// An access list; the layer never looks inside one, it only tells a null
// list (everyone) from any other.
struct ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
};

struct SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    WORD Control;
    void *Owner;
    void *Group;
    ACL *Sacl;
    ACL *Dacl;
};
using PSECURITY_DESCRIPTOR = void *;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

static_assert(sizeof(SECURITY_DESCRIPTOR) == SECURITY_DESCRIPTOR_MIN_LENGTH);

// An empty descriptor: no owner, no group, no access lists. Only revision 1
// is known; any other fails with ERROR_UNKNOWN_REVISION.
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);

// Sets or clears the descriptor's access list. With present TRUE and a
// null list the descriptor grants everyone every access.
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, ACL *dacl, BOOL defaulted);

// For the layer's own creation calls: true when the attributes carry an
// initialised descriptor with a present, null access list.
bool grants_everyone(const SECURITY_ATTRIBUTES *attributes);

} // namespace platform

// Security descriptors: kept as Windows keeps them, read only to learn
// whether an object is to be open to everyone.
#include "platform/security.h"

#include <cstring>

#include "platform/last_error.h"

namespace platform {

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
    if (descriptor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    auto *sd = static_cast<SECURITY_DESCRIPTOR *>(descriptor);
    std::memset(sd, 0, sizeof *sd);
    sd->Revision = static_cast<BYTE>(revision);
    return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL present, ACL *dacl, BOOL defaulted) {
    auto *sd = static_cast<SECURITY_DESCRIPTOR *>(descriptor);
    if (sd == nullptr || sd->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(sd == nullptr ? ERROR_INVALID_PARAMETER : ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    if (!present) {
        sd->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
        sd->Dacl = nullptr;
        return TRUE;
    }
    sd->Control |= SE_DACL_PRESENT;
    if (defaulted)
        sd->Control |= SE_DACL_DEFAULTED;
    else
        sd->Control &= static_cast<WORD>(~SE_DACL_DEFAULTED);
    sd->Dacl = dacl;
    return TRUE;
}

bool grants_everyone(const SECURITY_ATTRIBUTES *attributes) {
    if (attributes == nullptr || attributes->lpSecurityDescriptor == nullptr)
        return false;
    const auto *sd = static_cast<const SECURITY_DESCRIPTOR *>(attributes->lpSecurityDescriptor);
    return sd->Revision == SECURITY_DESCRIPTOR_REVISION && (sd->Control & SE_DACL_PRESENT) != 0 &&
           sd->Dacl == nullptr;
}

} // namespace platform

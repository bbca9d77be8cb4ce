// MessageBoxA on Linux, where there is no desktop to show a box on: the
// caption and the text go to standard error and to the system log (identity
// "Oskavelde"), and the call returns at once as if the user had pressed OK.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

namespace platform {

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_ICONMASK = 0x000000F0;

constexpr int IDOK = 1;

// The owner window is not used. Null texts count as empty. Returns IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// For the layer: writes "caption: text" as one line to standard error and
// as one message to the system log, at a priority chosen by the style's
// icon (error, warning, notice). At most the given lengths are read, and
// no further than a NUL.
void show_user_message(const char *caption, std::size_t caption_length, const char *text,
                       std::size_t text_length, UINT style);

} // namespace platform

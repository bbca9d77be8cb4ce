// Thread message queues: one queue per thread, named by the thread's
// identifier. The agent has no windows; its messages are thread messages
// (window handle null), and the one that matters is WM_QUIT, which ends
// the main cycle's GetMessageA loop.
#pragma once

#include "platform/win_types.h"

namespace platform {

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_USER = 0x0400;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// Waits until the calling thread's queue holds a message that passes the
// filter (both bounds 0: every message; WM_QUIT always passes), takes it
// and returns non-zero, or 0 when it is WM_QUIT. Returns -1 for a null
// message record or a window handle other than null, since there are no
// windows to take messages for.
BOOL GetMessageA(MSG *msg, HWND window, UINT filter_min, UINT filter_max);

// Like GetMessageA without waiting: FALSE at once when no message passes
// the filter. The message is taken from the queue only with PM_REMOVE.
BOOL PeekMessageA(MSG *msg, HWND window, UINT filter_min, UINT filter_max, UINT remove);

// Appends a thread message to the queue of the thread with that
// identifier, creating the queue when the thread has not used it yet, so
// that a message posted before the thread first waits is not lost. FALSE
// with ERROR_INVALID_THREAD_ID for an identifier no thread was given.
BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);

// Thread messages carry no key strokes to translate: always FALSE.
BOOL TranslateMessage(const MSG *msg);

// Thread messages have no window procedure to go to: always 0.
LRESULT DispatchMessageA(const MSG *msg);

} // namespace platform

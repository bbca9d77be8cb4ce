// sleepp, s_tick and ussleep over the platform's message queue and sleep.
#include "shared/timing.h"

#include <ctime>

#include "platform/message_queue.h"
#include "platform/thread.h"

int s_tick() {
    platform::MSG msg{};
    if (!platform::PeekMessageA(&msg, nullptr, 0, 0, platform::PM_NOREMOVE))
        return 0;
    platform::GetMessageA(&msg, nullptr, 0, 0);
    platform::TranslateMessage(&msg);
    return static_cast<int>(platform::DispatchMessageA(&msg));
}

void sleepp(int seconds) {
    const std::time_t start = std::time(nullptr);
    while (std::time(nullptr) - start < seconds)
        s_tick();
}

void ussleep(std::uint32_t milliseconds) { platform::Sleep(milliseconds); }

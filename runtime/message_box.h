// The message box on the machine's console session: the agent's way of
// telling a person about a fatal start failure and failed service
// management, in a foreground run and in a service run alike.
#pragma once

#include <cstdint>

// Shows the text under the caption with the platform's message-box style
// and returns when it has been answered, or at once when the running
// Windows version shows none (version unreadable, not NT, before NT 4 or
// 7 and later) or, on XP and the 6.x versions, while either
// terminal-services entry point is missing.
void MessageBoxWin(const char *text, const char *caption, std::uint32_t style);

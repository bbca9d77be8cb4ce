// Message boxes and console-session messages reach standard error as one
// line "caption: text" and are answered OK at once.
#include <gtest/gtest.h>

#include <string>

#include "platform/message_box.h"
#include "platform/terminal_services.h"

namespace {

using namespace platform;

TEST(MessageBox, WritesCaptionAndTextAndAnswersOk) {
    ::testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "Cannot open initialization file!", "Error", MB_ICONERROR);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Cannot open initialization file!\n");
    EXPECT_EQ(answer, IDOK);
}

TEST(MessageBox, NullTextsCountAsEmpty) {
    ::testing::internal::CaptureStderr();
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), ": \n");
}

TEST(TerminalServices, SendMessageReadsNoMoreThanTheGivenLengths) {
    char title[] = "Error and more";
    char message[] = "Error Calling StartServiceCtrlDispatcher function 1063 and beyond";
    DWORD response = 0;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, WTSGetActiveConsoleSessionId(), title, 5, message, 54,
                                MB_ICONEXCLAMATION, 0, &response, TRUE));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: Error Calling StartServiceCtrlDispatcher function 1063\n");
    EXPECT_EQ(response, static_cast<DWORD>(IDOK));
}

TEST(TerminalServices, SendMessageStopsAtANulWithinTheLength) {
    char title[] = "Err\0or";
    char message[] = "text";
    ::testing::internal::CaptureStderr();
    WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, 1, title, 6, message, 4, MB_OK, 0, nullptr, TRUE);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Err: text\n");
}

} // namespace

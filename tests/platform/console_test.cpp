// The console: writes reach standard output only while a console is
// allocated, byte for byte; without one they fail and leave no trace.
#include <string>

#include <gtest/gtest.h>

#include "platform/console.h"
#include "tests/support/console_capture.h"

namespace {

using platform::DWORD;

platform::BOOL write_text(const std::string &text, DWORD &written) {
    return platform::WriteConsoleA(platform::GetStdHandle(platform::STD_OUTPUT_HANDLE), text.data(),
                                   static_cast<DWORD>(text.size()), &written, nullptr);
}

TEST(Console, WritesBytesUnchangedWhileAllocated) {
    ConsoleCapture console;
    static const char bytes[] = "\n\rline\n\0\xff end";
    const std::string text(bytes, sizeof bytes - 1);
    DWORD written = 0;
    EXPECT_TRUE(write_text(text, written));
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(console.text(), text);
}

TEST(Console, WriteFailsWithoutEffectWhenNoConsole) {
    ConsoleCapture console;
    ASSERT_TRUE(platform::FreeConsole());
    DWORD written = 99;
    EXPECT_FALSE(write_text("lost", written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(console.text(), "");

    ASSERT_TRUE(platform::AllocConsole());
    EXPECT_TRUE(write_text("kept", written));
    EXPECT_EQ(console.text(), "kept");
}

TEST(Console, AllocAndFreeOnlyChangeState) {
    ConsoleCapture console; // allocated
    EXPECT_FALSE(platform::AllocConsole());
    EXPECT_TRUE(platform::FreeConsole());
    EXPECT_FALSE(platform::FreeConsole());
    EXPECT_TRUE(platform::AllocConsole());
}

TEST(Console, OnlyTheOutputHandleWrites) {
    ConsoleCapture console;
    DWORD written = 0;
    EXPECT_EQ(platform::GetStdHandle(12345), platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(platform::GetStdHandle(platform::STD_OUTPUT_HANDLE), platform::GetStdHandle(platform::STD_OUTPUT_HANDLE));
    EXPECT_FALSE(platform::WriteConsoleA(platform::INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));
    EXPECT_FALSE(platform::WriteConsoleA(nullptr, "x", 1, &written, nullptr));
    EXPECT_EQ(console.text(), "");
}

} // namespace

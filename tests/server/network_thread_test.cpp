// The network thread itself, started with CreateThread: it answers
// requests at its ticks and ends within one tick of its stop flag, with its
// exit line and exit code 0.
#include <string>

#include <gtest/gtest.h>

#include "platform/handle.h"
#include "platform/thread_create.h"
#include "platform/wait.h"
#include "runtime/worker_threads.h"
#include "server/network_thread.h"
#include "server/protocol.h"
#include "tests/server/agent_fixture.h"

namespace {

class NetworkThreadTest : public AgentFixture {};

TEST_F(NetworkThreadTest, AnswersAtItsTicksAndEndsWithinATickOfItsFlag) {
    add_device(0, "polled", 7);
    trace(0);
    ExitthreadhNetworkProcess = 0;
    platform::HANDLE thread =
        platform::CreateThread(nullptr, 0, NetworkTimerProcess, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);

    client_.send(port_, request_datagram(GET_STATUS, 7));
    const auto answers = client_.receive_all(400);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].size(), 97u);

    ExitthreadhNetworkProcess = 1;
    EXPECT_EQ(platform::WaitForSingleObject(thread, 600), platform::WAIT_OBJECT_0);
    platform::DWORD code = platform::STILL_ACTIVE;
    EXPECT_TRUE(platform::GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 0u);
    platform::CloseHandle(thread);
    EXPECT_NE(console_.text().find("\nThread Network: exit thread"), std::string::npos);

    // Nothing takes datagrams any more.
    client_.send(port_, request_datagram(GET_STATUS, 7));
    EXPECT_TRUE(client_.receive_all(400).empty());
    ExitthreadhNetworkProcess = 0;
}

} // namespace

// The agent's console when systemd connects standard output to the
// journal (JOURNAL_STREAM naming that stream's device and inode): the run
// of the real binary with -log, a polled UPS and a client request, its
// standard output being the file that the variable names, writes every
// line as text the journal can show (no CR, nothing to escape), the same
// lines as the debug log file, which keeps its CR LF line ends. With the
// variable naming another stream, standard output gets the bytes as
// before.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "platform/journal_stream.h"
#include "server/protocol.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint16_t kDevice = 7;

std::string without_cr(const std::string &text) {
    std::string out;
    for (const char c : text)
        if (c != '\r')
            out += c;
    return out;
}

std::string stream_of(const std::string &path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

class JournalOutput : public osktest::AgentWithUps, public ::testing::WithParamInterface<bool> {};

TEST_P(JournalOutput, ConsoleLinesAreTextOnlyOnTheJournalsStream) {
    const bool journal = GetParam();
    // Standard output is opened on this file at the start, which keeps its
    // inode; the other stream is a file beside it.
    const std::string out_file = agent_.dir().file("stdout.txt");
    const std::string other_file = agent_.dir().file("other.txt");
    write_file_bytes(out_file, "");
    write_file_bytes(other_file, "");
    agent_.set_environment("JOURNAL_STREAM", stream_of(journal ? out_file : other_file));

    start_agent(ini("", {{0, "UPS hall", "BRAXO1-VEGA3000", 5, ups_address(), "online", kDevice}}),
                1, {"-log"});
    EXPECT_EQ(request(GET_STATUS, kDevice).size(), 1u) << agent_.out();
    agent_.signal(SIGINT);
    ASSERT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();

    const std::string out = agent_.out();
    const std::string log = agent_.log();
    ASSERT_NE(out.find("RESP Dev:"), std::string::npos) << out;
    ASSERT_NE(out.find("Receive RQ UDP GET_STATUS packet"), std::string::npos) << out;
    // The debug log file is as ever: "\n\r" messages as CR LF CR.
    EXPECT_NE(log.find("\r\n\r"), std::string::npos);
    if (journal) {
        EXPECT_EQ(out.find('\r'), std::string::npos);
        EXPECT_EQ(platform::journal_text(out.data(), out.size()), out)
            << "a byte the journal shows as blob data";
        EXPECT_EQ(out, without_cr(log));
    } else {
        EXPECT_NE(out.find("\n\r"), std::string::npos);
        EXPECT_EQ(out, osktest::from_log(log));
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, JournalOutput, ::testing::Bool(),
                         [](const auto &info) {
                             return std::string(info.param ? "JournalStream" : "AnotherStream");
                         });

} // namespace

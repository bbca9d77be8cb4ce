// The INI line parser against small files: which lines it takes, how it
// cuts keys and values, how it reads long lines, line ends and a leading
// byte-order mark, and that a file's section state never leaks into the
// next file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "config/ini_parser.h"
#include "config/ini_store.h"
#include "config_fixture.h"
#include "shared/ini_record.h"

namespace {

using config_test::IniTest;
using ParserTest = IniTest;
using config_test::RecordIsZero;
using config_test::Text;
using namespace std::string_literals;

// One file of kervon.ini's kind and what it leaves in [System] Name.
struct NameCase {
    const char *label;
    std::string file;
    std::string name;
};
void PrintTo(const NameCase &c, std::ostream *os) { *os << c.label; }

class ParserNameTest : public IniTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ParserNameTest, StoresSystemName) {
    EXPECT_EQ(Parse(0, GetParam().file), 0);
    EXPECT_EQ(Text(INI.System.Name), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParserNameTest,
    ::testing::Values(
        NameCase{"plain", "[System]\nName=abc\n", "abc"},
        NameCase{"no_final_lf", "[System]\nName=abc", "abc"},
        NameCase{"crlf", "[System]\r\nName=abc\r\n", "abc"},
        // Headers are taken exactly or not at all.
        NameCase{"header_other_case", "[system]\nName=abc\n", ""},
        NameCase{"header_with_blank", "[ System]\nName=abc\n", ""},
        NameCase{"header_trailing_blank", "[System ]\nName=abc\n", ""},
        NameCase{"header_without_bracket", "[System\nName=abc\n", ""},
        NameCase{"header_shortened", "[Sys]\nName=abc\n", ""},
        NameCase{"header_lengthened", "[SystemX]\nName=abc\n", ""},
        NameCase{"header_empty", "[]\nName=abc\n", ""},
        NameCase{"text_after_header_ignored", "[System] Name=abc\n", ""},
        NameCase{"unknown_header_keeps_section", "[System]\n[Nowhere]\nName=abc\n", "abc"},
        NameCase{"broken_header_keeps_section", "[System]\n[Network\nName=abc\n", "abc"},
        NameCase{"other_known_header_moves_on", "[System]\n[Serial]\nName=abc\n", ""},
        // A header behind a byte that passes its line over is no header.
        NameCase{"blank_before_header_keeps_section", "[System]\n [Serial]\nName=abc\n", "abc"},
        NameCase{"comment_header_keeps_section", "[System]\n;[Serial]\nName=abc\n", "abc"},
        NameCase{"bell_before_header_keeps_section", "[System]\n\a[Serial]\nName=abc\n", "abc"},
        NameCase{"key_before_first_header", "Name=abc\n[System]\n", ""},
        // Keys are taken exactly or not at all.
        NameCase{"blank_before_equals", "[System]\nName =abc\n", ""},
        NameCase{"key_other_case", "[System]\nname=abc\n", ""},
        NameCase{"key_shortened", "[System]\nNam=abc\n", ""},
        NameCase{"key_lengthened", "[System]\nNameX=abc\n", ""},
        NameCase{"tab_first", "[System]\n\tName=abc\n", ""},
        NameCase{"blank_first", "[System]\n Name=abc\n", ""},
        NameCase{"comment", "[System]\n;Name=abc\n", ""},
        NameCase{"bell_first", "[System]\n\aName=abc\n", ""},
        NameCase{"no_equals", "[System]\nName\n", ""},
        NameCase{"high_byte_first", "[System]\n\xC3Name=abc\n", ""},
        NameCase{"nul_first", "[System]\n\0Name=abc\n"s, ""},
        NameCase{"equals_first_names_no_key", "[System]\nName=abc\n=x\n", "abc"},
        // Value texts.
        NameCase{"empty_value_replaces", "[System]\nName=abc\nName=\n", ""},
        NameCase{"two_quotes_replace", "[System]\nName=abc\nName=\"\"\n", ""},
        NameCase{"quoted", "[System]\nName=\"a b\"\n", "a b"},
        NameCase{"quoted_keeps_separators", "[System]\nName=\"a;b=c[d]\"\n", "a;b=c[d]"},
        NameCase{"unclosed_quote_to_line_end", "[System]\nName=\"abc\n", "abc"},
        NameCase{"quote_ends_plain_value", "[System]\nName=ab\"cd\"\n", "ab"},
        NameCase{"blank_then_quote", "[System]\nName= \"abc\"\n", " "},
        NameCase{"equals_and_semicolon_kept", "[System]\nName=a=b;c\n", "a=b;c"},
        NameCase{"blanks_kept", "[System]\nName=  a b  \n", "  a b  "},
        NameCase{"high_bytes_kept", "[System]\nName=\xFF\xFE\x80\n", "\xFF\xFE\x80"},
        NameCase{"cr_inside_dropped", "[System]\nName=a\rb\n", "ab"},
        NameCase{"nul_ends_value", "[System]\nName=ab\0cd\n"s, "ab"},
        NameCase{"eof_byte_ends_file", "[System]\nName=abc\x1A\nName=def\n", "abc"},
        // A UTF-8 byte-order mark at the very start is passed over, and
        // nowhere else.
        NameCase{"mark_then_header", "\xEF\xBB\xBF[System]\nName=abc\n", "abc"},
        NameCase{"mark_then_crlf_file", "\xEF\xBB\xBF[System]\r\nName=abc\r\n", "abc"},
        NameCase{"mark_then_empty_line", "\xEF\xBB\xBF\n[System]\nName=abc\n", "abc"},
        NameCase{"mark_alone", "\xEF\xBB\xBF", ""},
        NameCase{"mark_twice", "\xEF\xBB\xBF\xEF\xBB\xBF[System]\nName=abc\n", ""},
        NameCase{"mark_cut_short", "\xEF\xBB[System]\nName=abc\n", ""},
        NameCase{"mark_on_a_later_line", "[System]\n\xEF\xBB\xBF[Serial]\nName=abc\n", "abc"},
        NameCase{"first_line_shorter_than_a_mark", "\n[System]\nName=abc\n", "abc"},
        NameCase{"first_line_of_two_bytes", "a\n[System]\nName=abc", "abc"},
        NameCase{"mark_byte_then_line_end", "\xEF\n[System]\nName=abc\n", "abc"},
        // Repetition.
        NameCase{"repeated_key_later_wins", "[System]\nName=first\nName=second\n", "second"},
        NameCase{"repeated_section_collects", "[System]\nName=a\n[Serial]\n[System]\nName=b\n",
                 "b"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(ParserTest, RepeatedSectionCollectsBothParts) {
    ASSERT_EQ(Parse(0, "[System]\nName=n\n[Network]\nPort=1\n[System]\nLocation=l\n"), 0);
    EXPECT_EQ(Text(INI.System.Name), "n");
    EXPECT_EQ(Text(INI.System.Location), "l");
    EXPECT_EQ(INI.Network.Port, 1);
}

// A line is read in pieces of 298 characters; a piece is a line of its
// own. The key "HTTPPath=" has 9 characters, so its first piece holds 289
// value characters and the next piece starts right after them.
struct SplitCase {
    const char *label;
    int filler;          // value characters before "Port=4321"
    unsigned short port; // what the remainder stores
};
void PrintTo(const SplitCase &c, std::ostream *os) { *os << c.label; }

class ParserSplitTest : public IniTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(ParserSplitTest, LongLineIsReadInPieces) {
    const std::string line = "HTTPPath=" + std::string(GetParam().filler, 'p') + "Port=4321\n";
    ASSERT_EQ(Parse(0, "[Network]\n" + line + "SNMP=7\n"), 0);
    EXPECT_EQ(INI.Network.Port, GetParam().port);
    EXPECT_EQ(Text(INI.Network.HTTPPath), std::string(256, 'p'));
    EXPECT_EQ(INI.Network.SNMP, 7);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ParserSplitTest,
                         ::testing::Values(SplitCase{"remainder_is_a_key", 289, 4321},
                                           SplitCase{"remainder_starts_mid_key", 288, 0},
                                           SplitCase{"remainder_has_filler_first", 290, 0}),
                         [](const auto &info) { return std::string(info.param.label); });

// The first line is read in pieces of 298 characters whether a byte-order
// mark stands in front of it or not: the mark takes nothing of the
// piece. "[Network]" and 289 blanks fill the first piece, so a key right
// behind them begins the second one.
class ParserFirstLineTest : public IniTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ParserFirstLineTest, MarkTakesNothingOfTheFirstPiece) {
    for (const auto &[blanks, port] :
         {std::pair{289, 4321}, std::pair{288, 0}, std::pair{286, 0}}) {
        std::memset(&INI, 0, sizeof INI);
        const std::string first = "[Network]" + std::string(blanks, ' ') + "Port=4321\n";
        ASSERT_EQ(Parse(0, GetParam() + first + "SNMP=7\n"), 0);
        EXPECT_EQ(INI.Network.Port, port) << blanks;
        EXPECT_EQ(INI.Network.SNMP, 7) << blanks;
    }
}

INSTANTIATE_TEST_SUITE_P(Marks, ParserFirstLineTest, ::testing::Values("", "\xEF\xBB\xBF"),
                         [](const auto &info) {
                             return info.param.empty() ? "without_mark" : "with_mark";
                         });

TEST_F(ParserTest, CrLfFileEqualsLfFile) {
    const std::string lf = "; comment\n[System]\nName=\"Room 1\"\nDebugMode=3\n\n[UPS_02]\n"
                           "Name=ups\nPort=10.0.0.2\nConnection=5\n[Network]\nPort=5004";
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    ASSERT_EQ(Parse(0, lf), 0);
    const auto from_lf = config_test::Snapshot();
    std::memset(&INI, 0, sizeof INI);
    ASSERT_EQ(Parse(0, crlf), 0);
    EXPECT_EQ(config_test::Snapshot(), from_lf);
    EXPECT_EQ(Text(INI.UPS[2].Port), "10.0.0.2");
    EXPECT_EQ(INI.Network.Port, 5004);
}

TEST_F(ParserTest, EmptyOrCommentOnlyFileStoresNothing) {
    EXPECT_EQ(Parse(0, ""), 0);
    EXPECT_TRUE(RecordIsZero());
    EXPECT_EQ(Parse(0, "; only\n;comments\n\n   \n"), 0);
    EXPECT_TRUE(RecordIsZero());
}

TEST_F(ParserTest, FileThatCannotBeOpenedGivesOne) {
    EXPECT_EQ(EncodeINIFile(0, (tmp_.dir() + "missing.ini").c_str()), 1);
}

TEST_F(ParserTest, EveryFileStartsWithoutSection) {
    ASSERT_EQ(Parse(0, "[System]\nName=first\n"), 0);
    ASSERT_EQ(Parse(0, "Name=second\n"), 0);
    EXPECT_EQ(Text(INI.System.Name), "first");
}

TEST_F(ParserTest, GroupFileEventsInAnyOrder) {
    g_index = 4;
    ASSERT_EQ(Parse(2, "[Event_63]\nType1=3\nMessage=last\n[Event_00]\nType1=4\n"
                       "[Event_31]\nLog=5\n"),
              0);
    EXPECT_EQ(INI.Group[4].Event[63].Type1, 3);
    EXPECT_EQ(Text(INI.Group[4].Event[63].Job.Message), "last");
    EXPECT_EQ(INI.Group[4].Event[0].Type1, 4);
    EXPECT_EQ(INI.Group[4].Event[31].Job.Log, 5);
}

TEST_F(ParserTest, SameNameIsTheKeyOfItsSection) {
    ASSERT_EQ(Parse(0, "[Network]\nPort=5004\n[UPS_07]\nPort=ups7.example\n[Serial]\n"
                       "CheckRate=3\n[Network]\nCheckRate=9\n"),
              0);
    EXPECT_EQ(INI.Network.Port, 5004);
    EXPECT_EQ(Text(INI.UPS[7].Port), "ups7.example");
    EXPECT_EQ(INI.Serial.CheckRate, 3);
    EXPECT_EQ(INI.Network.CheckRate, 9);
}

TEST_F(ParserTest, SectionsOfOtherFilesAreNotKnown) {
    // [Job_00] belongs to the job files, [System] to kervon.ini.
    ASSERT_EQ(Parse(0, "[Job_00]\nLog=1\n"), 0);
    ASSERT_EQ(Parse(1, "[System]\nName=x\n"), 0);
    EXPECT_TRUE(RecordIsZero());
}

} // namespace

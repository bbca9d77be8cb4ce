// The console dialogue: questions, numbers and texts read from standard
// input after a prompt on standard output. Standard output is flushed
// before every read, so that a prompt stands on the screen (or in the pipe)
// before the answer is awaited.
#include "shared/console_prompt.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char yes_no[32] = {};
char yes_no_str[64] = {};

namespace {

// Line buffer of get_str: at most 207 characters and the NUL.
constexpr int kLineSize = 208;
// Words read for get_int and get_yesno: at most 199 characters and the NUL.
constexpr int kWordSize = 200;
constexpr char kEscape = 27;

const char *or_empty(const char *text) { return text != nullptr ? text : ""; }

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Reads one blank-delimited word into word (kWordSize bytes). The part of a
// longer word that does not fit is read and dropped, so that it never
// comes back as the next answer. False at the end of input.
bool read_word(char (&word)[kWordSize]) {
    word[0] = '\0';
    std::fflush(stdout);
    return std::scanf("%199s%*[^ \t\n\v\f\r]", word) == 1;
}

} // namespace

char test_key() {
    char word[11] = {};
    std::fflush(stdout);
    if (std::scanf("%10s", word) != 1)
        return '\0';
    return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
}

char *yesno(int flag, const char *yes, const char *no) {
    const char *text = flag != 0 ? yes : no;
    if (text != nullptr)
        std::strncpy(yes_no, text, 20);
    return yes_no;
}

char *yesnostr(const char *yes, const char *no) {
    if (yes != nullptr && no != nullptr)
        std::snprintf(yes_no_str, sizeof yes_no_str, "[%c=%s,%c=%s]", lower(yes[0]), yes,
                      lower(no[0]), no);
    return yes_no_str;
}

void print_line() {
    std::fputc('\n', stdout);
    for (int i = 0; i < 60; ++i)
        std::fputc('-', stdout);
}

void beep() {
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

void get_str(char *dst, int len, const char *prompt) {
    std::printf("\n%s ", or_empty(prompt));
    std::fflush(stdout);
    const int keep = len <= 2 ? 0 : (len - 2 < kLineSize - 1 ? len - 2 : kLineSize - 1);
    char line[kLineSize] = {};
    int stored = 0;
    bool ended = false;
    for (;;) {
        const int c = std::getchar();
        if (c == EOF) {
            ended = true;
            break;
        }
        if (c == '\n' || c == '\r') {
            if (stored == 0)
                continue;
            break;
        }
        if (stored < keep)
            line[stored++] = static_cast<char>(c);
        else
            beep();
    }
    if (dst == nullptr || len <= 0)
        return;
    // Nothing typed before the end of input clears the text; an answer
    // that begins with NUL or Escape leaves it as it was.
    if ((ended && stored == 0) || (line[0] != '\0' && line[0] != kEscape))
        std::strncpy(dst, line, static_cast<std::size_t>(len));
}

std::uint16_t get_int(std::uint16_t min, std::uint16_t max, const char *prompt, const char *error) {
    // An Escape word leaves the number as the words before it made it: the
    // lower bound when it comes first, an earlier number out of range (and
    // so one more question) after one.
    std::uint16_t value = min;
    for (;;) {
        if (prompt != nullptr)
            std::printf("%s", prompt);
        char word[kWordSize];
        if (!read_word(word))
            return min;
        if (word[0] != kEscape)
            value = static_cast<std::uint16_t>(std::strtol(word, nullptr, 10));
        if (value >= min && value <= max)
            return value;
        std::printf("\a\n%s\n", or_empty(error));
    }
}

int get_yesno(const char *yes, const char *no, const char *question) {
    if (yes != nullptr && no != nullptr)
        yesnostr(yes, no);
    std::printf("\n%s %s : ", or_empty(question), yes_no_str);
    char word[kWordSize];
    if (!read_word(word) || yes == nullptr)
        return 0;
    return lower(word[0]) == lower(yes[0]) ? 1 : 0;
}

void run_command(const char * /*command*/) {}

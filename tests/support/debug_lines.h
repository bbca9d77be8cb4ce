// The agent's debug output as the tests read it: how often a text occurs
// in the console text or the debug log file; that output split at line
// feeds, with the carriage returns that "\n\r" messages and the file's
// text mode add taken out, and the lines that hold a text found, counted
// and put in order; and a message as the text-mode log file holds it, and
// the file's text as the console got it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace osktest {

// Occurrences of what in text that do not overlap one another; none of
// an empty text, which would otherwise be found at every position.
inline std::size_t occurrences(const std::string &text, const std::string &what) {
    if (what.empty())
        return 0;
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// A debug-log message as the text-mode log file holds it: each LF as CR LF.
inline std::string in_log(const std::string &text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// The text-mode log file's text as the console got it: each CR LF as LF.
inline std::string from_log(const std::string &file) {
    std::string text;
    for (std::size_t i = 0; i < file.size(); ++i)
        if (!(file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n'))
            text += file[i];
    return text;
}

inline std::vector<std::string> debug_lines(const std::string &text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else if (c != '\r')
            lines.back() += c;
    }
    return lines;
}

// Index of the first line at or after from that holds what; lines.size()
// when there is none.
inline std::size_t line_with(const std::vector<std::string> &lines, const std::string &what,
                             std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(what) != std::string::npos)
            return i;
    return lines.size();
}

// Index of the nth line (1 for the first) that holds what; lines.size()
// when there are fewer.
inline std::size_t nth_line_with(const std::vector<std::string> &lines, const std::string &what,
                                 std::size_t n) {
    std::size_t at = 0;
    for (std::size_t found = 0; at < lines.size(); ++at)
        if (lines[at].find(what) != std::string::npos && ++found == n)
            return at;
    return lines.size();
}

// Lines in [from, to) that hold what.
inline std::size_t lines_with(const std::vector<std::string> &lines, const std::string &what,
                              std::size_t from = 0, std::size_t to = std::string::npos) {
    std::size_t n = 0;
    for (std::size_t i = from; i < lines.size() && i < to; ++i)
        n += lines[i].find(what) != std::string::npos;
    return n;
}

} // namespace osktest

// The settings of a systemd unit file as the tests read them: the key and
// value of each line of one section, in their order (a key set twice is
// there twice, as systemd reads lists), with comments and blank lines
// passed over and blanks around key and value taken off.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace osktest {

struct UnitSetting {
    std::string key;
    std::string value;
};

inline std::string unit_trimmed(const std::string &text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The settings of the section ("[Service]"); a failure names a line of it
// that is no setting.
inline ::testing::AssertionResult read_unit_section(const std::string &unit,
                                                    const std::string &section,
                                                    std::vector<UnitSetting> &settings) {
    std::istringstream lines(unit);
    std::string line, current;
    while (std::getline(lines, line)) {
        line = unit_trimmed(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[') {
            current = line;
            continue;
        }
        if (current != section)
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return ::testing::AssertionFailure() << "no setting: " << line;
        settings.push_back({unit_trimmed(line.substr(0, equals)), unit_trimmed(line.substr(equals + 1))});
    }
    return ::testing::AssertionSuccess();
}

// The values of every line of the key, in their order.
inline std::vector<std::string> unit_values(const std::vector<UnitSetting> &settings,
                                            const std::string &key) {
    std::vector<std::string> values;
    for (const UnitSetting &setting : settings)
        if (setting.key == key)
            values.push_back(setting.value);
    return values;
}

// The value of the key's last line, as systemd takes a single value; empty
// when the key is not set.
inline std::string unit_value(const std::vector<UnitSetting> &settings, const std::string &key) {
    const std::vector<std::string> values = unit_values(settings, key);
    return values.empty() ? "" : values.back();
}

} // namespace osktest

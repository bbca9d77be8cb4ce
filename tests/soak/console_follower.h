// Follows the console output of an agent started with -debug while it is
// being written, and turns its complete lines into the events the soak
// needs, in the order they were written: the start and the answer of each
// poll, the communication flag of the polled slot set to 0 or 1, and the
// receive gate's lookup of a datagram's device and its passing of the
// datagram on to the parser.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace osktest {

struct ConsoleEvent {
    enum Kind { PollStart, PollAnswered, CommLost, CommEstablished, GateLookup, GatePassed };
    Kind kind;
    // The slot the event is about; for GatePassed the slot of the lookup
    // before it.
    int slot;
    std::string line;
};

class ConsoleFollower {
  public:
    explicit ConsoleFollower(std::string path) : path_(std::move(path)) {}

    // The events of the lines completed since the last call.
    std::vector<ConsoleEvent> next() {
        std::vector<ConsoleEvent> events;
        std::ifstream in(path_, std::ios::binary);
        if (!in)
            return events;
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string fresh((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        offset_ += fresh.size();
        partial_ += fresh;
        std::size_t start = 0;
        for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1)
            scan_line(partial_.substr(start, end - start), events);
        partial_.erase(0, start);
        return events;
    }

  private:
    struct Marker {
        const char *text;
        ConsoleEvent::Kind kind;
    };

    // Several entries can share a line: the poller's messages start with
    // a line break but do not end with one.
    void scan_line(const std::string &line, std::vector<ConsoleEvent> &events) {
        static const Marker markers[] = {
            {"RQ Dev:", ConsoleEvent::PollStart},
            {"RESP Dev:", ConsoleEvent::PollAnswered},
            {"Comm lost recognized", ConsoleEvent::CommLost},
            {"Comm established recognized", ConsoleEvent::CommEstablished},
            {"UDP  : Decoded device [", ConsoleEvent::GateLookup},
            {"UDP  : Agent parse ... OK", ConsoleEvent::GatePassed},
        };
        std::size_t at = 0;
        for (;;) {
            const Marker *first = nullptr;
            std::size_t first_at = std::string::npos;
            for (const Marker &m : markers) {
                const std::size_t found = line.find(m.text, at);
                if (found < first_at) {
                    first_at = found;
                    first = &m;
                }
            }
            if (first == nullptr)
                return;
            at = first_at + std::strlen(first->text);
            const int number = std::atoi(line.c_str() + at);
            ConsoleEvent event{first->kind, -1, line};
            switch (first->kind) {
            case ConsoleEvent::PollStart:
                polled_slot_ = number;
                event.slot = number;
                break;
            case ConsoleEvent::PollAnswered:
                event.slot = number;
                break;
            case ConsoleEvent::CommLost:
            case ConsoleEvent::CommEstablished:
                event.slot = polled_slot_;
                break;
            case ConsoleEvent::GateLookup:
                looked_up_slot_ = number;
                event.slot = number;
                break;
            case ConsoleEvent::GatePassed:
                event.slot = looked_up_slot_;
                break;
            }
            events.push_back(event);
        }
    }

    std::string path_;
    std::size_t offset_ = 0;
    std::string partial_;
    int polled_slot_ = -1;
    int looked_up_slot_ = -1;
};

} // namespace osktest

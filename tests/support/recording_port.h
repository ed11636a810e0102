// A port backend for exact bus sequences: every access is logged, reads are
// answered from a script (per port address, in order; then a default).
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/port.h"

struct PortAccess {
    char kind;        // 'W' write, 'R' read, 'D' busy-wait, 'S' sleep
    uint16_t port;    // port address (D: iterations, S: milliseconds)
    uint8_t value;
    bool operator==(const PortAccess& o) const { return kind == o.kind && port == o.port && value == o.value; }
};

class RecordingPort final : public PortBackend {
public:
    void out(uint16_t port, uint8_t value) override { log.push_back({'W', port, value}); }
    uint8_t in(uint16_t port) override
    {
        uint8_t v = default_read;
        auto it = script.find(port);
        if (it != script.end() && !it->second.empty()) {
            v = it->second.front();
            it->second.pop_front();
        }
        log.push_back({'R', port, v});
        return v;
    }
    void delay(uint32_t n) override { log.push_back({'D', static_cast<uint16_t>(n), 0}); }
    void sleep_ms(uint32_t ms) override
    {
        now_us_ += static_cast<uint64_t>(ms) * 1000;
        log.push_back({'S', static_cast<uint16_t>(ms), 0});
    }
    uint32_t tick_ms() override { return static_cast<uint32_t>(now_us_ / 1000); }
    uint64_t now_us() override { return now_us_; }
    bool grant(uint16_t, uint32_t, bool) override { return true; }

    // Only the writes and reads, without waits and sleeps.
    std::vector<PortAccess> io() const
    {
        std::vector<PortAccess> out;
        for (const auto& a : log)
            if (a.kind == 'W' || a.kind == 'R')
                out.push_back(a);
        return out;
    }
    // Values written to one port address, in order.
    std::vector<uint8_t> writes_to(uint16_t port) const
    {
        std::vector<uint8_t> out;
        for (const auto& a : log)
            if (a.kind == 'W' && a.port == port)
                out.push_back(a.value);
        return out;
    }
    uint64_t slept_ms() const
    {
        uint64_t t = 0;
        for (const auto& a : log)
            if (a.kind == 'S')
                t += a.port;
        return t;
    }

    std::vector<PortAccess> log;
    std::map<uint16_t, std::deque<uint8_t>> script;
    uint8_t default_read = 0xFF;

private:
    uint64_t now_us_ = 0;
};

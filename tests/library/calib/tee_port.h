// A port backend in front of the simulated box: every access is passed on
// and logged, and so is every grant or withdrawal of port access.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "link/port.h"
#include "recording_port.h"

class TeePort final : public PortBackend {
public:
    explicit TeePort(PortBackend* inner) : inner_(inner) {}
    void out(uint16_t port, uint8_t value) override
    {
        log.push_back({'W', port, value});
        inner_->out(port, value);
    }
    uint8_t in(uint16_t port) override
    {
        const uint8_t v = inner_->in(port);
        log.push_back({'R', port, v});
        return v;
    }
    void delay(uint32_t n) override { inner_->delay(n); }
    void sleep_ms(uint32_t ms) override { inner_->sleep_ms(ms); }
    uint32_t tick_ms() override { return inner_->tick_ms(); }
    uint64_t now_us() override { return inner_->now_us(); }
    bool grant(uint16_t first, uint32_t count, bool on) override
    {
        if (count == 3)
            grants.emplace_back(first, on);
        return inner_->grant(first, count, on);
    }
    std::vector<PortAccess> log;
    std::vector<std::pair<uint16_t, bool>> grants;

private:
    PortBackend* inner_;
};

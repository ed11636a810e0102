#include "sampler.h"

#include <algorithm>

#include "adc.h"
#include "box.h"
#include "ref_sources.h"

namespace tvsim {

namespace {
constexpr uint8_t kGain1 = 0xE0;
constexpr uint8_t kGain100 = 0xE2;
constexpr uint8_t kStatus = 0xE4;
constexpr uint8_t kHigh = 0xE5;
constexpr uint8_t kSamplingMode = 0xFC;
constexpr uint8_t kSamplingOn = 0x02;
constexpr uint8_t kClockCount = 0x16;    // reference counter 2: count
constexpr uint8_t kClockControl = 0x17;
constexpr int kClockCounter = 2;
constexpr uint64_t kClockTickNs = 1000;  // the reference timer runs at 1 MHz
}  // namespace

Sampler::Sampler(Box& box, BoxFile&) : box_(box)
{
    // Mapped after the converter, so in sampling mode this block has the
    // last word on E4h/E5h; 16h/17h only to see when the clock is reloaded.
    box.map(kGain1, kHigh, this);
    box.map(kClockCount, kClockControl, this);
    box.map(kSamplingMode, kSamplingMode, this);
}

void Sampler::reset()
{
    on_ = false;
    result_ = converting_ = 0;
}

uint64_t Sampler::period_ns() const
{
    const int mode = box_.refs().mode(kClockCounter);
    if (mode != 2 && mode != 3)
        return 0;
    const uint16_t count = box_.refs().count(kClockCounter);
    return (count == 0 ? 65536u : count) * kClockTickNs;
}

void Sampler::advance()
{
    const uint64_t now = box_.now_ns();
    const uint64_t p = period_ns();
    if (!on_ || p == 0) {
        done_until_ = now;
        return;
    }
    // clock edges at epoch + k * p, k >= 1, after both the load and the switch-on
    const uint64_t from = std::max({done_until_, on_since_, clock_epoch_});
    done_until_ = now;
    if (now <= from)
        return;
    const uint64_t edges = (now - clock_epoch_) / p - (from - clock_epoch_) / p;
    if (edges == 0)
        return;
    // Each edge latches the finished conversion, starts converting the
    // input latched at the edge before, and latches the selected input. With
    // one selection over the whole stretch only the last three edges matter.
    for (uint64_t i = 0; i < std::min<uint64_t>(edges, 3); ++i) {
        result_ = converting_;
        converting_ = box_.adc().sample(mux_gain_, mux_code_);
        mux_gain_ = gain_reg_;
        mux_code_ = mux_;
    }
    samples_ += edges;
}

void Sampler::write(uint8_t reg, uint8_t value)
{
    advance();
    if (reg >= kGain1 && reg <= kGain100) {
        gain_reg_ = reg;
        mux_ = value;
    } else if (reg == kClockCount) {
        clock_epoch_ = box_.now_ns();   // the last byte of the count starts the clock
        done_until_ = clock_epoch_;
    } else if (reg == kSamplingMode) {
        const bool on = (value & kSamplingOn) != 0;
        if (on && !on_) {
            on_since_ = box_.now_ns();
            done_until_ = on_since_;
            mux_gain_ = gain_reg_;
            mux_code_ = mux_;
            converting_ = box_.adc().sample(mux_gain_, mux_code_);
        }
        on_ = on;
    }
}

uint8_t Sampler::read(uint8_t reg, uint8_t v)
{
    if (!on_ || (reg != kStatus && reg != kHigh))
        return v;
    advance();
    if (reg == kStatus)
        return static_cast<uint8_t>(((result_ & 0x0F) << 4) | (samples_ & 0x0F));
    return static_cast<uint8_t>(result_ >> 4);
}

}  // namespace tvsim

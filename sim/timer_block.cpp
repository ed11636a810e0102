#include "timer_block.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "box.h"
#include "main_logic.h"

namespace tvsim {

namespace {

constexpr uint8_t kData0 = 0x18;
constexpr uint8_t kData2 = 0x1A;
constexpr uint8_t kControl = 0x1B;
constexpr uint8_t kModeGate = 0xF8;
constexpr uint8_t kFreqStart = 0xF9;

constexpr uint8_t kRunning = 0x01;     // F8h read: pulse-width measurement running
constexpr uint8_t kGateOpen = 0x02;    // F8h read: frequency gate open
constexpr uint8_t kHold = 0x03;        // F8h bits 1-0 = 3: pulse-width logic held
constexpr uint8_t kBitA[3] = {0x01, 0x04, 0x10};
constexpr uint8_t kBitB[3] = {0x02, 0x08, 0x20};
constexpr uint8_t kJoinInto[3] = {0x00, 0x40, 0x80};   // join bit that clocks counter i from counter i-1

constexpr uint64_t kGateClockNs = 128000;               // 128 us
constexpr uint64_t kTimeBaseNs[4] = {125, 4000, 128000, 128000};
constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();

}  // namespace

// ---------------------------------------------------------------- counter

void Counter8254::control(uint8_t rw, uint8_t mode)
{
    rw_ = rw;
    mode_ = mode > 5 ? static_cast<uint8_t>(mode & 3) : mode;   // 6, 7 are 2, 3
    write_msb_ = false;
    read_msb_ = false;
    count_latched_ = false;
    status_latched_ = false;
    load_pending_ = false;
    armed_ = false;
    running_ = false;
    null_count_ = true;
}

void Counter8254::write(uint8_t v)
{
    if (rw_ == 1) {
        cr_ = v;
    } else if (rw_ == 2) {
        cr_ = static_cast<uint16_t>(v << 8);
    } else if (!write_msb_) {
        cr_ = static_cast<uint16_t>((cr_ & 0xFF00) | v);
        write_msb_ = true;
        return;
    } else {
        cr_ = static_cast<uint16_t>((cr_ & 0x00FF) | (v << 8));
        write_msb_ = false;
    }
    null_count_ = true;
    if (base_mode() == 1) {
        armed_ = true;          // loaded by the clock after the next trigger
    } else {
        load_pending_ = true;
        if (base_mode() == 0)
            running_ = false;   // mode 0: writing a count stops the old one
    }
}

void Counter8254::trigger()
{
    if (base_mode() == 1 && (armed_ || running_))
        load_pending_ = true;
}

void Counter8254::load()
{
    n_ = cr_ == 0 ? 65536u : cr_;
    p_ = 0;
    running_ = true;
    load_pending_ = false;
    null_count_ = false;
}

uint64_t Counter8254::count(uint64_t k)
{
    if (!running_ || k == 0)
        return 0;
    const uint64_t before = p_;
    p_ += k;
    if (base_mode() == 2)
        return p_ / n_ - before / n_;
    return 0;
}

uint64_t Counter8254::pulses(uint64_t k)
{
    if (k == 0)
        return 0;
    if (load_pending_) {
        load();
        --k;
    }
    return count(k);
}

uint16_t Counter8254::value() const
{
    if (base_mode() == 2)
        return static_cast<uint16_t>(n_ - p_ % n_);
    return static_cast<uint16_t>((n_ - p_ % 65536u) & 0xFFFF);
}

bool Counter8254::out() const
{
    switch (base_mode()) {
    case 0:
        return running_ && p_ >= n_;
    case 1:
        return !running_ || p_ >= n_;
    default:
        return !(running_ && p_ % n_ == n_ - 1);
    }
}

uint8_t Counter8254::status() const
{
    return static_cast<uint8_t>((out() ? 0x80 : 0) | (null_count_ ? 0x40 : 0) | (rw_ << 4) | (mode_ << 1));
}

void Counter8254::latch_count()
{
    if (!count_latched_) {
        latched_ = value();
        count_latched_ = true;
    }
}

void Counter8254::latch_status()
{
    if (!status_latched_) {
        status_ = status();
        status_latched_ = true;
    }
}

uint8_t Counter8254::read()
{
    if (status_latched_) {
        status_latched_ = false;
        return status_;
    }
    const uint16_t v = count_latched_ ? latched_ : value();
    uint8_t byte;
    bool done = true;
    if (rw_ == 1) {
        byte = static_cast<uint8_t>(v & 0xFF);
    } else if (rw_ == 2) {
        byte = static_cast<uint8_t>(v >> 8);
    } else if (!read_msb_) {
        byte = static_cast<uint8_t>(v & 0xFF);
        read_msb_ = true;
        done = false;
    } else {
        byte = static_cast<uint8_t>(v >> 8);
        read_msb_ = false;
    }
    if (done)
        count_latched_ = false;
    return byte;
}

// ---------------------------------------------------------------- block

TimerBlock::TimerBlock(Box& box, BoxFile& cfg) : box_(box)
{
    const auto ns = [](double us) { return us > 0 ? static_cast<uint64_t>(std::llround(us * 1000.0)) : 0; };
    pulse_high_ns_ = ns(cfg.number("timer.pulse_high_us", 100.0));
    pulse_low_ns_ = ns(cfg.number("timer.pulse_low_us", 900.0));
    freq_hz_ = std::max(0.0, cfg.number("timer.freq_hz", 1000.0));
    for (int i = 0; i < 3; ++i)
        events_hz_[i] = std::max(0.0, cfg.number("timer.events" + std::to_string(i) + "_hz", 0.0));
    box.map(kData0, kControl, this);
    box.map(kModeGate, kFreqStart, this);
}

void TimerBlock::clear()
{
    c_ = {};
    f8_ = 0;
    pwm_armed_ = pwm_window_ = false;
    gate_triggered_ = false;
    last_ns_ = box_.now_ns();
}

void TimerBlock::reset()
{
    clear();
}

TimerBlock::Wiring TimerBlock::sync()
{
    const std::string& d = box_.main_logic().design();
    if (d != design_) {
        design_ = d;
        wiring_ = d == "007CA003" ? Wiring::PulseFrequency : d == "007CA004" ? Wiring::Events : Wiring::None;
        clear();
    }
    if (wiring_ != Wiring::None)
        advance(box_.now_ns());
    return wiring_;
}

const Counter8254& TimerBlock::counter(int i)
{
    sync();
    return c_[i];
}

uint64_t TimerBlock::time_base_ns() const
{
    return kTimeBaseNs[(f8_ >> 2) & 3];
}

uint64_t TimerBlock::train_edges(double hz, uint64_t t)
{
    if (hz <= 0)
        return 0;
    return static_cast<uint64_t>(std::floor(static_cast<long double>(t) * hz * 1e-9L));
}

void TimerBlock::advance(uint64_t to)
{
    const uint64_t from = last_ns_;
    if (to <= from)
        return;
    last_ns_ = to;

    // Clock edges of a source counted by index: idx(t) = edges in (0, t].
    // A pending load takes the first edge in (from, to], gate or not; the
    // counter then counts the edges inside the gate (ws, we].
    const auto run = [&](Counter8254& c, auto idx, uint64_t ws, uint64_t we) -> uint64_t {
        uint64_t first = idx(from);   // edges up to here are done
        if (c.wants_load()) {
            if (idx(to) <= first)
                return 0;
            ++first;
            c.load();
        }
        const uint64_t lo = std::max(from, ws);
        const uint64_t hi = std::min(to, we);
        if (hi <= lo)
            return 0;
        const uint64_t a = std::max(first, idx(lo));
        const uint64_t b = idx(hi);
        return b > a ? c.count(b - a) : 0;
    };

    if (wiring_ == Wiring::PulseFrequency) {
        const uint64_t p = time_base_ns();
        const auto grid = [p](uint64_t t) { return t / p; };
        if (pwm_armed_ && pwm_window_)
            run(c_[0], grid, pwm_start_, pwm_end_);
        else
            run(c_[0], grid, 0, 0);
        run(c_[1], [](uint64_t t) { return t / kGateClockNs; }, 0, kForever);
        const double f = freq_hz_;
        const auto freq = [f](uint64_t t) { return train_edges(f, t); };
        if (gate_triggered_)
            run(c_[2], freq, gate_start_, gate_end_);
        else
            run(c_[2], freq, 0, 0);
        return;
    }

    uint64_t reloads = 0;
    for (int i = 0; i < 3; ++i) {
        if (f8_ & kBitA[i]) {
            reloads = 0;   // on the software clock
        } else if (f8_ & kJoinInto[i]) {
            reloads = c_[i].pulses(reloads);
        } else {
            const double f = events_hz_[i];
            reloads = run(c_[i], [f](uint64_t t) { return train_edges(f, t); }, 0, kForever);
        }
    }
}

void TimerBlock::arm_pwm(uint64_t now, int variant)
{
    pwm_armed_ = true;
    pwm_window_ = false;
    const uint64_t high = pulse_high_ns_, low = pulse_low_ns_, period = high + low;
    if (high == 0 || low == 0)
        return;   // a constant input never starts a phase
    const uint64_t two = 2 * time_base_ns();
    const uint64_t rise = (now / period + 1) * period;
    if (variant == 1) {
        const uint64_t fall = now < high ? high : ((now - high) / period + 1) * period + high;
        pwm_start_ = fall;
        pwm_end_ = fall + low + two;
    } else if (variant == 2) {
        pwm_start_ = rise;
        pwm_end_ = rise + (period > two ? period - two : 0);
    } else {
        pwm_start_ = rise;
        pwm_end_ = rise + high;
    }
    pwm_window_ = true;
}

void TimerBlock::write(uint8_t reg, uint8_t value)
{
    const Wiring w = sync();
    if (w == Wiring::None)
        return;
    const uint64_t now = box_.now_ns();
    if (reg >= kData0 && reg <= kData2) {
        c_[reg - kData0].write(value);
    } else if (reg == kControl) {
        const int sel = value >> 6;
        if (sel == 3) {   // read-back: bit 5 low latches counts, bit 4 low latches status
            for (int i = 0; i < 3; ++i) {
                if (!(value & (0x02 << i)))
                    continue;
                if (!(value & 0x20))
                    c_[i].latch_count();
                if (!(value & 0x10))
                    c_[i].latch_status();
            }
        } else if (((value >> 4) & 3) == 0) {
            c_[sel].latch_count();
        } else {
            c_[sel].control(static_cast<uint8_t>((value >> 4) & 3), static_cast<uint8_t>((value >> 1) & 7));
        }
    } else if (reg == kModeGate) {
        const uint8_t old = f8_;
        f8_ = value;
        if (w == Wiring::PulseFrequency) {
            if ((value & kHold) == kHold)
                pwm_armed_ = pwm_window_ = false;
            else if ((old & kHold) == kHold)
                arm_pwm(now, value & kHold);
        } else {
            uint64_t carry = 0;
            for (int i = 0; i < 3; ++i) {
                const bool a = (old & kBitA[i]) && (value & kBitA[i]);
                if (a && !(old & kBitB[i]) && (value & kBitB[i]))
                    carry = c_[i].pulses(1);
                else if (!(value & kBitA[i]) && (value & kJoinInto[i]))
                    carry = c_[i].pulses(carry);
                else
                    carry = 0;
            }
        }
    } else if (reg == kFreqStart && w == Wiring::PulseFrequency) {
        c_[1].trigger();
        if (c_[1].mode() == 1) {
            const uint16_t cr = c_[1].count_register();
            gate_triggered_ = true;
            gate_start_ = (now / kGateClockNs + 1) * kGateClockNs;
            gate_end_ = gate_start_ + (cr == 0 ? 65536u : cr) * kGateClockNs;
        }
    }
}

uint8_t TimerBlock::read(uint8_t reg, uint8_t v)
{
    const Wiring w = sync();
    if (w == Wiring::None)
        return v;
    if (reg >= kData0 && reg <= kData2)
        return c_[reg - kData0].read();
    if (reg == kModeGate && w == Wiring::PulseFrequency) {
        const uint64_t now = box_.now_ns();
        uint8_t s = 0;
        if ((f8_ & kHold) == kHold || (pwm_armed_ && (!pwm_window_ || now <= pwm_end_)))
            s |= kRunning;
        if (gate_triggered_ && now <= gate_end_)
            s |= kGateOpen;
        return s;
    }
    return v;
}

}  // namespace tvsim

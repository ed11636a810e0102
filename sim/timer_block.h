// The measurement timer block of board 007: three 16-bit down-counters in
// 8254 command format (data 18h-1Ah, control 1Bh) and the design's own
// registers F8h and F9h. The block exists only while design "007CA003"
// (pulse width and frequency) or "007CA004" (event counting) is loaded;
// otherwise it neither latches nor drives the bus.
//
// 007CA003 wiring (fixed by the design):
//   counter 0  clock: time base of F8h bits 3-2 (125 ns, 4 us, 128 us, 128 us);
//              gate: one phase of the pulse input, chosen by F8h bits 1-0 when
//              they leave 3 (the hold state): 0 = high time, 1 = low time,
//              2 = period (rising to rising). The design's synchroniser adds
//              two time-base counts to the low time and takes two from the
//              period. F8h read bit 0 = measurement running (hold or armed and
//              the phase not yet over).
//   counter 1  clock: 128 us; a write to F9h is its trigger (mode 1 one-shot),
//              its output pulse is the frequency gate; F8h read bit 1 = gate
//              triggered and not yet closed.
//   counter 2  clock: rising edges of the frequency input, gated by the
//              frequency gate.
// 007CA004 wiring: counter i counts rising edges of event input i; F8h bit
//   A(i) (01h, 04h, 10h) switches its clock to the software clock B(i) (02h,
//   08h, 20h), which gives one clock when B rises while A stays set; bit 40h
//   clocks counter 1, bit 80h counter 2, by the reloads of the counter below
//   (one pass of it), so that a pair counts as one 32-bit counter.
//
// Counter modes 0, 1, 2 are modelled (3 counts like 2, 4 and 5 like 0);
// counts are binary. A count is loaded by the first clock after it is written
// (mode 1: after the trigger), as on an 8254, and the null-count bit stays set
// until then. Inputs are ideal periodic signals from the box file; times are
// absolute virtual time, edges of a periodic input at k x period.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

// One 8254 counter without time: it is told about clock pulses.
class Counter8254 {
public:
    void control(uint8_t rw, uint8_t mode);
    void write(uint8_t v);
    uint8_t read();
    void latch_count();
    void latch_status();
    // Mode 1: a rising gate edge; the count is loaded by the next clock.
    void trigger();

    // A clock is wanted to load a count (its edge then does not count).
    bool wants_load() const { return load_pending_; }
    void load();
    // k clock pulses while counting is enabled; returns the reloads (passes)
    // of a mode-2 counter among them.
    uint64_t count(uint64_t k);
    // Pulses from a source without a gate: the first loads a pending count.
    uint64_t pulses(uint64_t k);

    uint16_t value() const;
    bool out() const;
    bool null_count() const { return null_count_; }
    uint8_t status() const;
    int mode() const { return mode_; }
    uint16_t count_register() const { return cr_; }

private:
    int base_mode() const { return mode_ == 3 ? 2 : (mode_ >= 4 ? 0 : mode_); }
    uint8_t rw_ = 3;
    uint8_t mode_ = 0;
    uint16_t cr_ = 0;
    bool write_msb_ = false;
    bool load_pending_ = false;
    bool armed_ = false;         // mode 1: count written, waiting for a trigger
    bool null_count_ = true;
    bool running_ = false;
    uint32_t n_ = 65536;         // loaded count, 0 taken as 65536
    uint64_t p_ = 0;             // pulses counted since the load
    bool count_latched_ = false;
    uint16_t latched_ = 0;
    bool status_latched_ = false;
    uint8_t status_ = 0;
    bool read_msb_ = false;
};

class TimerBlock : public Block {
public:
    TimerBlock(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;

    // The counters as they stand now (for tests of the block).
    const Counter8254& counter(int i);

private:
    enum class Wiring { None, PulseFrequency, Events };
    Wiring sync();                  // follow the loaded design, advance to now
    void advance(uint64_t to);
    void clear();
    void arm_pwm(uint64_t now, int variant);
    uint64_t time_base_ns() const;
    static uint64_t train_edges(double hz, uint64_t t);   // rising edges in (0, t]

    Box& box_;
    // box file
    uint64_t pulse_high_ns_ = 0;
    uint64_t pulse_low_ns_ = 0;
    double freq_hz_ = 0;
    std::array<double, 3> events_hz_{};

    std::string design_;
    Wiring wiring_ = Wiring::None;
    std::array<Counter8254, 3> c_;
    uint8_t f8_ = 0;
    uint64_t last_ns_ = 0;
    // pulse-width gate of counter 0: (start, end] once armed
    bool pwm_armed_ = false;
    bool pwm_window_ = false;
    uint64_t pwm_start_ = 0, pwm_end_ = 0;
    // frequency gate: (start, end] after the trigger
    bool gate_triggered_ = false;
    uint64_t gate_start_ = 0, gate_end_ = 0;
};

}  // namespace tvsim

// The reference timer block (three 8254-style counters at 14h-16h, control
// register 17h) and the reference sources it drives: counter 0 sets U0,
// counter 1 U1, counter 2 UM (and is the sampling clock, one count per
// microsecond). The comparators at 12h compare UM with the divided supply,
// a 2.5 V and a 10 V reference, U0 and U1.
//
// A source programmed in mode 1 sits at offset + slope x count (count 0 =
// 65536, as the 8254 counts), limited to +-rail; in any other mode the
// counter does not produce the source's pulse train and it falls to its
// offset. Each source settles exponentially towards a new value (UM with
// refs.um_tau_us, U0/U1 with refs.source_tau_us).
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class RefSources : public Block {
public:
    RefSources(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;

    // Count and mode of counter 0..2 of the reference timer block (counter 2
    // is also the sampling clock, one count per microsecond).
    uint16_t count(int counter) const;
    int mode(int counter) const;

    // Voltages now, for tests and other blocks.
    double um_volts() const { return source_now(kUM); }
    double u0_volts() const { return source_now(kU0); }
    double u1_volts() const;
    // The supply as the supply comparator sees it (after the divider).
    double supply_seen() const;
    double supply_volts() const { return supply_; }

private:
    enum Source { kU0 = 0, kU1 = 1, kUM = 2 };
    struct Counter {
        uint8_t mode = 0;
        uint8_t rw = 3;          // 1 low byte, 2 high byte, 3 low then high
        bool high_next = false;  // rw 3: the next count byte is the high byte
        uint16_t pending = 0;
        uint16_t count = 0;
    };
    struct Line {                // true model of one source
        double offset = 0.0;     // V at count 0
        double slope = 0.0;      // V per count
        double tau_ns = 1.0;
        double from = 0.0;       // settling from this value ...
        double target = 0.0;     // ... towards this one, since t0
        uint64_t t0 = 0;
    };
    void control(uint8_t value);
    void count_byte(int counter, uint8_t value);
    void retarget(int counter);
    double source_now(int counter) const;

    Box& box_;
    Counter counters_[3];
    Line lines_[3];
    double rail_ = 14.0;
    double ref_2v5_ = 2.5;
    double ref_10v_ = 10.0;
    double supply_ = 12.0;
    bool fixed_u1_ = false;      // older family: U1 is a fixed voltage
    double u1_fixed_ = 15.2;
    uint16_t revision_ = 0x1000;
};

}  // namespace tvsim

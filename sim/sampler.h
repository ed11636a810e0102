// Transient sampling mode (FCh: 02h on, 00h off). While it is on, every
// period of the sampling clock (counter 2 of the reference timer block in
// mode 2, one count per microsecond, counted from the load of its count) is
// one step of a three-stage pipeline: the edge latches the finished
// conversion into the A/D result registers and advances the 4-bit sample
// counter in E4h bits 3-0, starts converting the input that the multiplexer
// latched at the edge before (it had a period to settle), and latches the
// input selected last (writes to E0h-E2h). So the sample read at edge n is
// the input selected before edge n - 2: a select written right after sample n
// comes back as sample n + 3. Samples that the reader misses are overwritten;
// the counter shows the gap. With the mode off, E4h/E5h belong to the
// converter's normal conversions.
//
// A conversion takes its value from the converter when the bus access after
// its edge is processed (Adc::sample): a few microseconds late at most.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Sampler : public Block {
public:
    Sampler(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;

    bool on() const { return on_; }
    // Conversions latched since power-up (the counter is its low 4 bits).
    uint64_t samples() const { return samples_; }

private:
    void advance();
    uint64_t period_ns() const;   // 0: the clock does not run

    Box& box_;
    bool on_ = false;
    uint64_t on_since_ = 0;
    uint64_t clock_epoch_ = 0;    // load of the sampling count
    uint64_t done_until_ = 0;     // clock edges up to here are processed
    uint8_t gain_reg_ = 0xE0;
    uint8_t mux_ = 0xFF;
    uint8_t mux_gain_ = 0xE0;     // input latched by the multiplexer
    uint8_t mux_code_ = 0xFF;
    uint16_t converting_ = 0;     // conversion in progress
    uint16_t result_ = 0;         // latched result
    uint64_t samples_ = 0;
};

}  // namespace tvsim

// 12-bit A/D converter with gains 1/10/100 and the differential multiplexer.
//
// Writing a multiplexer code to a gain register (E0h gain 1, E1h gain 10,
// E2h gain 100) samples the input and starts a conversion; after
// timing.conversion_ns the ready bit (E4h bit 0) is set and the result is
// in E4h bits 7-4 (bits 3-0 of the result) and E5h (bits 11-4).
//
// The code's low nibble selects the + input, its high nibble the - input:
// 0-B external inputs (box file signals), C = AO1, D = AO2, E = the box's
// reference voltage, F = ground. So FEh reads +reference, EFh -reference,
// FFh 0 V. The jumper range (adc.range) is the span at gain 1; the zero of
// each gain is offset from the range's nominal zero code (0 or 2048) by a
// few digits, the gain has an error, and each conversion carries seeded
// gaussian noise of adc.noise digits rms. Results are clipped to 0..4095.
#pragma once
#include <cstdint>
#include <random>
#include <string>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Adc : public Block {
public:
    Adc(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;

    // One conversion now, as the sampling mode clocks it: 12-bit code of
    // the multiplexer code at gain register E0h/E1h/E2h.
    uint16_t sample(uint8_t gain_reg, uint8_t mux);

    // Voltage of multiplexer input 0..15 now.
    double input_volts(int input) const;
    // The differential voltage a multiplexer code selects, + minus -.
    double mux_volts(uint8_t mux) const { return input_volts(mux & 0x0F) - input_volts(mux >> 4); }
    double reference() const { return reference_; }
    // Range at gain 1, in volts.
    double range_low() const { return low_; }
    double range_span() const { return span_; }
    int conversions() const { return conversions_; }

private:
    struct Signal {
        enum Kind { Dc, Sine, Square } kind = Dc;
        double level = 0.0;
        double amplitude = 0.0;
        double hz = 0.0;
    };
    bool parse_signal(BoxFile& cfg, const std::string& key, Signal* s);
    // Digits (before quantisation and noise) for gain index 0/1/2.
    double ideal_digits(int gain, uint8_t mux) const;
    uint16_t convert(int gain, uint8_t mux);

    Box& box_;
    Signal inputs_[12];
    double reference_ = 4.591;
    double low_ = -10.0;
    double span_ = 20.0;
    double zero_[3] = {2.6, 7.3, 21.8};          // digits above the nominal zero code
    double gain_error_[3] = {-0.0040, -0.0025, 0.0040};
    double noise_ = 0.3;
    uint64_t conversion_ns_ = 10000;
    bool never_ready_ = false;
    std::mt19937 rng_;
    std::normal_distribution<double> gauss_{0.0, 1.0};

    uint16_t result_ = 0;
    uint16_t converting_ = 0;    // result of the conversion in progress
    bool busy_ = false;
    bool ready_ = false;
    uint64_t done_at_ = 0;
    int conversions_ = 0;
};

}  // namespace tvsim

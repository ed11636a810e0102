#include "adc.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "box.h"
#include "dac.h"

namespace tvsim {

namespace {
constexpr uint8_t kGain1 = 0xE0;
constexpr uint8_t kGain100 = 0xE2;
constexpr uint8_t kStatus = 0xE4;
constexpr uint8_t kHigh = 0xE5;
constexpr uint8_t kReady = 0x01;
constexpr double kGainFactor[3] = {1.0, 10.0, 100.0};
constexpr double kPi = 3.14159265358979323846;
}  // namespace

Adc::Adc(Box& box, BoxFile& cfg) : box_(box)
{
    struct Range {
        double low, span;
    };
    static const Range kRanges[] = {{0.0, 5.0}, {0.0, 10.0}, {-5.0, 10.0}, {-10.0, 20.0}};
    const int r = cfg.choice("adc.range", {"0..5", "0..10", "-5..5", "-10..10"}, 3);
    low_ = kRanges[r].low;
    span_ = kRanges[r].span;
    reference_ = cfg.number("adc.reference", 4.591);
    zero_[0] = cfg.number("adc.zero1", 2.6);
    zero_[1] = cfg.number("adc.zero10", 7.3);
    zero_[2] = cfg.number("adc.zero100", 21.8);
    gain_error_[0] = cfg.number("adc.gain_error", -0.0040);
    gain_error_[1] = cfg.number("adc.gain10_error", -0.0025);
    gain_error_[2] = cfg.number("adc.gain100_error", 0.0040);
    noise_ = cfg.number("adc.noise", 0.3);
    if (noise_ < 0.0)
        cfg.error("adc.noise", "must not be negative");
    const long conv = cfg.integer("timing.conversion_ns", 10000);
    if (conv < 0)
        cfg.error("timing.conversion_ns", "must not be negative");
    conversion_ns_ = static_cast<uint64_t>(conv < 0 ? 10000 : conv);
    never_ready_ = cfg.flag("fault.adc_never_ready", false);
    for (int i = 0; i < 12; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "adc.in%d", i);
        parse_signal(cfg, key, &inputs_[i]);
    }
    rng_.seed(box.seed() * 2654435761u + 0xADC);
    box.map(kGain1, kGain100, this);
    box.map(kStatus, kHigh, this);
}

// "dc <level>", "sine <level> <amplitude> <hz>" or "square <level>
// <amplitude> <hz>" (level + amplitude for the first half period, level -
// amplitude for the second).
bool Adc::parse_signal(BoxFile& cfg, const std::string& key, Signal* s)
{
    const std::string text = cfg.text(key, "dc 0");
    std::istringstream in(text);
    std::string kind;
    in >> kind;
    if (kind == "dc") {
        s->kind = Signal::Dc;
        in >> s->level;
    } else if (kind == "sine" || kind == "square") {
        s->kind = kind == "sine" ? Signal::Sine : Signal::Square;
        in >> s->level >> s->amplitude >> s->hz;
    } else {
        cfg.error(key, "expected 'dc V', 'sine V A Hz' or 'square V A Hz', not '" + text + "'");
        return false;
    }
    std::string rest;
    if (in.fail() || (in >> rest)) {
        cfg.error(key, "bad signal '" + text + "'");
        *s = Signal{};
        return false;
    }
    return true;
}

double Adc::input_volts(int input) const
{
    switch (input) {
    case 0x0C: return box_.dac().ao_volts(1);
    case 0x0D: return box_.dac().ao_volts(2);
    case 0x0E: return reference_;
    case 0x0F: return 0.0;
    default: break;
    }
    if (input < 0 || input > 11)
        return 0.0;
    const Signal& s = inputs_[input];
    const double t = static_cast<double>(box_.now_ns()) * 1e-9;
    switch (s.kind) {
    case Signal::Sine: return s.level + s.amplitude * std::sin(2.0 * kPi * s.hz * t);
    case Signal::Square: return s.level + (std::fmod(t * s.hz, 1.0) < 0.5 ? s.amplitude : -s.amplitude);
    default: return s.level;
    }
}

double Adc::ideal_digits(int gain, uint8_t mux) const
{
    const double nominal_zero = -low_ / span_ * 4096.0;
    const double amplified = mux_volts(mux) * kGainFactor[gain] * (1.0 + gain_error_[gain]);
    const double converter = gain == 0 ? 1.0 : 1.0 + gain_error_[0];
    return nominal_zero + zero_[gain] + amplified * converter * 4096.0 / span_;
}

uint16_t Adc::convert(int gain, uint8_t mux)
{
    ++conversions_;
    double d = ideal_digits(gain, mux);
    if (noise_ > 0.0)
        d += noise_ * gauss_(rng_);
    d = std::floor(d + 0.5);
    if (d < 0.0)
        return 0;
    if (d > 4095.0)
        return 4095;
    return static_cast<uint16_t>(d);
}

uint16_t Adc::sample(uint8_t gain_reg, uint8_t mux)
{
    const int gain = gain_reg >= kGain1 && gain_reg <= kGain100 ? gain_reg - kGain1 : 0;
    return convert(gain, mux);
}

void Adc::write(uint8_t reg, uint8_t value)
{
    // The input is sampled when the conversion starts; a new start abandons
    // a conversion in progress.
    converting_ = convert(reg - kGain1, value);
    busy_ = true;
    ready_ = false;
    done_at_ = box_.now_ns() + conversion_ns_;
}

uint8_t Adc::read(uint8_t reg, uint8_t v)
{
    if (busy_ && !never_ready_ && box_.now_ns() >= done_at_) {
        busy_ = false;
        ready_ = true;
        result_ = converting_;
    }
    if (reg == kStatus)
        return static_cast<uint8_t>(v | ((result_ & 0x0F) << 4) | (ready_ ? kReady : 0));
    return static_cast<uint8_t>(v | (result_ >> 4));
}

void Adc::reset()
{
    busy_ = false;
    ready_ = false;
    result_ = 0;
}

}  // namespace tvsim

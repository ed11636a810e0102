#include "dac.h"

#include <string>

#include "box.h"

namespace tvsim {

namespace {
constexpr uint8_t kAo1Low = 0xE8;
constexpr uint8_t kAo2High = 0xEB;
constexpr uint8_t kUpdate = 0xEC;
}  // namespace

Dac::Dac(Box& box, BoxFile& cfg)
{
    struct Range {
        double low, span;
    };
    static const Range kRanges[] = {{0.0, 10.0}, {0.0, -10.0}, {-10.0, 20.0}};
    static const double kOffset[2] = {0.0085, -0.0062};
    static const double kGainError[2] = {-0.0012, 0.0021};
    for (int i = 0; i < 2; ++i) {
        const std::string p = "dac.ao" + std::to_string(i + 1) + "_";
        const int r = cfg.choice(p + "range", {"0..10", "0..-10", "-10..10"}, 2);
        out_[i].low = kRanges[r].low;
        out_[i].span = kRanges[r].span;
        out_[i].offset = cfg.number(p + "offset", kOffset[i]);
        out_[i].gain_error = cfg.number(p + "gain_error", kGainError[i]);
    }
    box.map(kAo1Low, kUpdate, this);
}

void Dac::write(uint8_t reg, uint8_t value)
{
    if (reg < kAo1Low || reg > kAo2High)
        return;
    Output& o = out_[(reg - kAo1Low) / 2];
    if ((reg - kAo1Low) % 2 == 0)
        o.pending = static_cast<uint16_t>((o.pending & 0xF00) | value);
    else
        o.pending = static_cast<uint16_t>((o.pending & 0x0FF) | ((value & 0x0F) << 8));
}

uint8_t Dac::read(uint8_t reg, uint8_t v)
{
    if (reg == kUpdate) {
        out_[0].code = out_[0].pending;
        out_[1].code = out_[1].pending;
        ++updates_;
    }
    return v;
}

double Dac::ao_volts(int output) const
{
    if (output != 1 && output != 2)
        return 0.0;
    const Output& o = out_[output - 1];
    return (o.low + o.span * o.code / 4096.0) * (1.0 + o.gain_error) + o.offset;
}

uint16_t Dac::code(int output) const
{
    return output == 1 || output == 2 ? out_[output - 1].code : 0;
}

}  // namespace tvsim

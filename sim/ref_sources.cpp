#include "ref_sources.h"

#include <algorithm>
#include <cmath>

#include "box.h"
#include "digital_ports.h"

namespace tvsim {

namespace {
constexpr uint8_t kCount0 = 0x14;
constexpr uint8_t kControl = 0x17;
constexpr uint8_t kComparators = 0x12;

constexpr uint8_t kCmpSupply = 0x01;
constexpr uint8_t kCmp2V5 = 0x10;
constexpr uint8_t kCmp10V = 0x20;
constexpr uint8_t kCmpU0 = 0x40;
constexpr uint8_t kCmpU1 = 0x80;

constexpr uint8_t kP0SupplySwitch = 0x80;   // revisions after 1001h: divider on while set
}  // namespace

RefSources::RefSources(Box& box, BoxFile& cfg) : box_(box)
{
    const bool newer = box.newer_family();
    // The older family's UM spans about 18 V, so that its supply and fixed U1
    // (about 15 V) stay inside the comparator range.
    lines_[kUM].offset = cfg.number("refs.um_offset", 0.004);
    lines_[kUM].slope = cfg.number("refs.um_slope", newer ? 0.0125 : 0.0180);
    lines_[kU0].offset = cfg.number("refs.u0_offset", 0.012);
    lines_[kU0].slope = cfg.number("refs.u0_slope", newer ? 0.0110 : 0.0155);
    lines_[kU1].offset = cfg.number("refs.u1_offset", -0.008);
    lines_[kU1].slope = cfg.number("refs.u1_slope", newer ? 0.0105 : 0.0150);
    u1_fixed_ = cfg.number("refs.u1_fixed", 15.2);
    fixed_u1_ = !newer;
    rail_ = cfg.number("refs.rail", newer ? 14.0 : 19.0);
    ref_2v5_ = cfg.number("refs.ref_2v5", 2.4992);
    ref_10v_ = cfg.number("refs.ref_10v", 10.006);
    supply_ = cfg.number("refs.supply", newer ? 12.0 : 15.0);
    // The supply divider is a matter of the board revision, which is the
    // device class the box carries in its EEPROM.
    revision_ = static_cast<uint16_t>(cfg.integer("eeprom.device_class", 0x1000));
    const double um_tau_us = cfg.number("refs.um_tau_us", 500.0);
    const double src_tau_us = cfg.number("refs.source_tau_us", 5000.0);
    if (um_tau_us <= 0.0)
        cfg.error("refs.um_tau_us", "must be above 0");
    if (src_tau_us <= 0.0)
        cfg.error("refs.source_tau_us", "must be above 0");
    lines_[kUM].tau_ns = std::max(um_tau_us, 0.001) * 1000.0;
    lines_[kU0].tau_ns = lines_[kU1].tau_ns = std::max(src_tau_us, 0.001) * 1000.0;
    for (int i = 0; i < 3; ++i) {
        lines_[i].target = lines_[i].from = lines_[i].offset;
        lines_[i].t0 = 0;
    }
    box.map(kCount0, kControl, this);
    box.map(kComparators, kComparators, this);
}

// 8254 control word: bits 7-6 counter (3 = read-back, not modelled), bits
// 5-4 access (0 = latch, not modelled), bits 3-1 mode, bit 0 BCD (ignored).
void RefSources::control(uint8_t value)
{
    const int sc = value >> 6;
    const int rw = (value >> 4) & 3;
    if (sc == 3 || rw == 0)
        return;
    Counter& c = counters_[sc];
    c.rw = static_cast<uint8_t>(rw);
    int mode = (value >> 1) & 7;
    if (mode > 5)
        mode -= 4;   // 6 and 7 are modes 2 and 3
    c.mode = static_cast<uint8_t>(mode);
    c.high_next = false;
    retarget(sc);
}

void RefSources::count_byte(int counter, uint8_t value)
{
    Counter& c = counters_[counter];
    switch (c.rw) {
    case 1: c.count = value; break;
    case 2: c.count = static_cast<uint16_t>(value << 8); break;
    default:
        if (!c.high_next) {
            c.pending = value;
            c.high_next = true;
            return;
        }
        c.count = static_cast<uint16_t>(c.pending | (value << 8));
        c.high_next = false;
        break;
    }
    retarget(counter);
}

void RefSources::retarget(int counter)
{
    Line& l = lines_[counter];
    const Counter& c = counters_[counter];
    const double n = c.count == 0 ? 65536.0 : c.count;
    double v = c.mode == 1 ? l.offset + l.slope * n : l.offset;
    v = std::clamp(v, -rail_, rail_);
    l.from = source_now(counter);
    l.target = v;
    l.t0 = box_.now_ns();
}

double RefSources::source_now(int counter) const
{
    const Line& l = lines_[counter];
    const double dt = static_cast<double>(box_.now_ns() - l.t0);
    return l.target + (l.from - l.target) * std::exp(-dt / l.tau_ns);
}

double RefSources::u1_volts() const
{
    return fixed_u1_ ? u1_fixed_ : source_now(kU1);
}

double RefSources::supply_seen() const
{
    if (!box_.newer_family())
        return supply_;
    if (revision_ == 0x1000)
        return supply_ / 4.404;
    if (revision_ == 0x1001)
        return supply_ / 1.5;
    // Later revisions switch the divider in with P0 bit 7; without it the
    // comparator input is at ground.
    return (box_.digital().p0() & kP0SupplySwitch) ? supply_ / 4.404 : 0.0;
}

void RefSources::write(uint8_t reg, uint8_t value)
{
    if (reg == kControl)
        control(value);
    else if (reg >= kCount0 && reg < kControl)
        count_byte(reg - kCount0, value);
}

uint8_t RefSources::read(uint8_t reg, uint8_t v)
{
    if (reg != kComparators)
        return v;   // counter read-back is not modelled
    const double um = um_volts();
    uint8_t bits = 0;
    if (um > supply_seen())
        bits |= kCmpSupply;
    if (um > ref_2v5_)
        bits |= kCmp2V5;
    if (um > ref_10v_)
        bits |= kCmp10V;
    if (um > u0_volts())
        bits |= kCmpU0;
    if (um > u1_volts())
        bits |= kCmpU1;
    return static_cast<uint8_t>(v | bits);
}

uint16_t RefSources::count(int counter) const
{
    return counter >= 0 && counter < 3 ? counters_[counter].count : 0;
}

int RefSources::mode(int counter) const
{
    return counter >= 0 && counter < 3 ? counters_[counter].mode : 0;
}

}  // namespace tvsim

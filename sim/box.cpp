#include "box.h"

#include <cstdio>

#include "adc.h"
#include "box_control.h"
#include "dac.h"
#include "digital_ports.h"
#include "eeprom24c02.h"
#include "expansion_card.h"
#include "expansion_dac.h"
#include "expansion_ports.h"
#include "logic013.h"
#include "main_logic.h"
#include "port_logic.h"
#include "ref_sources.h"
#include "sampler.h"
#include "timer_block.h"

namespace tvsim {

namespace {
constexpr uint8_t kStatusIdle = 0x7F;   // port without a box: acknowledge high
constexpr uint8_t kNibbleBits = 0xB8;   // status bits 7, 5, 4, 3
constexpr uint8_t kAckBit = 0x40;
}  // namespace

Box::~Box() = default;

std::unique_ptr<Box> Box::make(BoxFile& cfg, bool read_ok, std::string* error)
{
    if (!read_ok) {
        if (error != nullptr)
            *error = cfg.error_text();
        return nullptr;
    }
    std::unique_ptr<Box> box(new Box());
    if (!box->build(cfg, error))
        return nullptr;
    return box;
}

std::unique_ptr<Box> Box::from_file(const std::string& path, std::string* error)
{
    BoxFile cfg;
    const bool ok = cfg.load(path);
    return make(cfg, ok, error);
}

std::unique_ptr<Box> Box::from_text(const std::string& text, std::string* error)
{
    BoxFile cfg;
    const bool ok = cfg.parse(text);
    return make(cfg, ok, error);
}

std::string Box::default_box_text()
{
    // Every block's defaults describe the default box; only what differs
    // from a block's own defaults is written here.
    return "# built-in default box: newer family at 378h\n"
           "box.port = 378h\n"
           "box.family = newer\n"
           "eeprom.image = " + Eeprom24c02::default_image_path() + "\n";
}

std::unique_ptr<Box> Box::default_box(std::string* error)
{
    return from_text(default_box_text(), error);
}

bool Box::build(BoxFile& cfg, std::string* error)
{
    seed_ = static_cast<uint32_t>(cfg.integer("seed", 1));
    timing_.io_access_ns = static_cast<uint64_t>(cfg.integer("timing.io_access_ns", 1000));
    timing_.delay_ns = static_cast<uint64_t>(cfg.integer("timing.delay_ns", 50));
    timing_.settle_ns = static_cast<uint64_t>(cfg.integer("timing.settle_ns", 1500));

    box_base_ = static_cast<uint16_t>(cfg.integer("box.port", 0x378));
    box_present_ = cfg.flag("box.present", true);
    newer_family_ = cfg.choice("box.family", {"older", "newer"}, 1) == 1;

    // The three standard port addresses, plus the box's own if it is elsewhere.
    const std::vector<std::string> kinds = {"none", "output", "bidir"};
    for (uint16_t base : {uint16_t(0x3BC), uint16_t(0x378), uint16_t(0x278)}) {
        char key[16];
        std::snprintf(key, sizeof key, "port.%X", base);
        const int def = base == box_base_ ? 2 : 0;
        const int k = cfg.choice(key, kinds, def);
        if (k != 0)
            ports_.push_back(ParallelPort{base, static_cast<PortKind>(k), false, 0, 0});
    }
    bool box_port_found = false;
    for (auto& p : ports_)
        if (p.base == box_base_) {
            p.has_box = true;
            box_port_found = true;
        }
    if (!box_port_found)
        ports_.push_back(ParallelPort{box_base_, PortKind::Bidirectional, true, 0, 0});

    port_logic_ = std::make_unique<PortLogic>(*this, cfg);
    control_ = std::make_unique<BoxControl>(*this, cfg);
    eeprom_ = std::make_unique<Eeprom24c02>(*this, cfg);
    main_logic_ = std::make_unique<MainLogic>(*this, cfg);
    digital_ = std::make_unique<DigitalPorts>(*this, cfg);
    logic013_ = std::make_unique<Logic013>(*this, cfg);   // after the P0 latch: its status wins at 10h
    refs_ = std::make_unique<RefSources>(*this, cfg);
    adc_ = std::make_unique<Adc>(*this, cfg);
    dac_ = std::make_unique<Dac>(*this, cfg);
    timers_ = std::make_unique<TimerBlock>(*this, cfg);
    sampler_ = std::make_unique<Sampler>(*this, cfg);
    expansion_ = std::make_unique<ExpansionCard>(*this, cfg);
    expansion_dac_ = std::make_unique<ExpansionDac>(*this, cfg);
    expansion_ports_ = std::make_unique<ExpansionPorts>(*this, cfg);
    blocks_ = {port_logic_.get(), control_.get(), eeprom_.get(), main_logic_.get(), logic013_.get(),
               digital_.get(), refs_.get(), adc_.get(), dac_.get(), timers_.get(), sampler_.get(),
               expansion_.get(), expansion_dac_.get(), expansion_ports_.get()};

    cfg.check_unused();
    if (!cfg.errors().empty()) {
        if (error != nullptr)
            *error = cfg.error_text();
        return false;
    }
    return true;
}

void Box::map(uint8_t first, uint8_t last, Block* block)
{
    for (unsigned r = first; r <= last; ++r)
        map_[r].push_back(block);
}

uint8_t Box::reg_read(uint8_t reg)
{
    uint8_t v = 0;
    for (Block* b : map_[reg])
        v = b->read(reg, v);
    return v;
}

void Box::reg_write(uint8_t reg, uint8_t value)
{
    for (Block* b : map_[reg])
        b->write(reg, value);
}

void Box::reset()
{
    bus_.reset();
    for (Block* b : blocks_)
        b->reset();
}

bool Box::bus_answers() const
{
    if (!box_present_)
        return false;
    return !newer_family_ || port_logic_->configured();
}

bool Box::ack_low() const
{
    return box_present_ && control_->ack_low();
}

ParallelPort* Box::find_port(uint16_t port, int* offset)
{
    for (auto& p : ports_)
        if (port >= p.base && port < p.base + 3) {
            *offset = port - p.base;
            return &p;
        }
    return nullptr;
}

void Box::port_write(uint16_t port, uint8_t value)
{
    int off = 0;
    ParallelPort* p = find_port(port, &off);
    if (p != nullptr) {
        if (off == 0) {
            p->data = value;
            if (p->has_box && box_present_) {
                port_logic_->data_lines(value);
                bus_.data_written(*p);
            }
        } else if (off == 2) {
            const uint8_t old = p->control;
            p->control = value;
            if (p->has_box && box_present_)
                bus_.control_written(*p, old);
        }
    }
    clock_.advance(timing_.io_access_ns);
}

uint8_t Box::port_read(uint16_t port)
{
    int off = 0;
    ParallelPort* p = find_port(port, &off);
    uint8_t v = 0xFF;
    if (p != nullptr) {
        const bool box = p->has_box && box_present_;
        if (off == 0) {
            if (p->lines_released()) {
                const int d = box ? bus_.data_lines() : -1;
                v = d >= 0 ? static_cast<uint8_t>(d) : 0xFF;
            } else {
                v = p->data;
            }
        } else if (off == 1) {
            v = kStatusIdle;
            if (box) {
                v = 0xFF;
                const int nib = bus_.nibble_status();
                if (nib >= 0)
                    v = static_cast<uint8_t>((v & ~kNibbleBits) | nib);
                if (ack_low())
                    v = static_cast<uint8_t>(v & ~kAckBit);
            }
        } else {
            v = p->control;
        }
    }
    clock_.advance(timing_.io_access_ns);
    return v;
}

void Box::delay_loop(uint32_t iterations)
{
    clock_.advance(static_cast<uint64_t>(iterations) * timing_.delay_ns);
}

void Box::sleep_ns(uint64_t ns)
{
    clock_.advance(ns);
}

}  // namespace tvsim

#include "link/bus.h"

#include "link/port.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"

namespace {

inline uint16_t data_port() { return g_dev.iolpt; }
inline uint16_t status_port() { return static_cast<uint16_t>(g_dev.iolpt + 1); }
inline uint16_t control_port() { return static_cast<uint16_t>(g_dev.iolpt + 2); }
// Control base of a cycle: direction bit and mode flag removed.
inline uint8_t cycle_ctl() { return g_dev.io_status & 0x5F; }
inline bool byte_mode() { return (g_dev.io_status & 0xA0) != 0; }

void write_phase(uint8_t ctl, uint8_t value)
{
    port_out(data_port(), value);
    port_out(control_port(), static_cast<uint8_t>(ctl | ctl::kWriteStrobe));
    port_out(control_port(), ctl);
}

void address_phase(uint8_t ctl, uint8_t address)
{
    port_out(data_port(), address);
    port_out(control_port(), static_cast<uint8_t>(ctl | ctl::kAddressStrobe));
    port_out(control_port(), ctl);
}

uint8_t read_phase(uint8_t ctl)
{
    port_out(control_port(), static_cast<uint8_t>(g_dev.io_status | ctl::kReadStrobe));
    uint8_t result;
    if (!byte_mode()) {
        // status bits 5, 4, 3, 7 carry nibble bits 3, 2, 1, 0
        port_out(data_port(), 0x01);
        io_delay(g_dev.io_wait);
        uint8_t s = port_in(status_port());
        result = static_cast<uint8_t>(((s & 0x20) << 2) | ((s & 0x10) << 2) | ((s & 0x08) << 2) | ((s & 0x80) >> 3));
        port_out(data_port(), 0x00);
        io_delay(g_dev.io_wait);
        s = port_in(status_port());
        result |= static_cast<uint8_t>(((s & 0x20) >> 2) | ((s & 0x10) >> 2) | ((s & 0x08) >> 2) | ((s & 0x80) >> 7));
    } else {
        io_delay(g_dev.io_wait);
        result = port_in(data_port());
    }
    port_out(control_port(), g_dev.io_status);
    port_out(control_port(), ctl);
    return result;
}

}  // namespace

extern "C" {

TARVENIX_API void outbyte(uint8_t address, uint8_t value)
{
    const uint8_t ctl = cycle_ctl();
    address_phase(ctl, address);
    write_phase(ctl, value);
}

TARVENIX_API void outbyte_na(uint8_t value)
{
    write_phase(cycle_ctl(), value);
}

TARVENIX_API uint8_t inbyte(uint8_t address)
{
    const uint8_t ctl = cycle_ctl();
    address_phase(ctl, address);
    return read_phase(ctl);
}

TARVENIX_API uint8_t inbyte_na(void)
{
    return read_phase(cycle_ctl());
}

}  // extern "C"

void port_idle()
{
    port_out(data_port(), 0x00);
    port_out(control_port(), 0x00);
}

void port_reset()
{
    port_out(control_port(), 0x04);
    port_out(data_port(), 0x00);
    for (int i = 0; i < 2; ++i) {
        port_out(data_port(), 0xFF);
        sleep_ms(1);
        port_out(data_port(), 0x00);
        sleep_ms(1);
    }
    sleep_ms(100);
    port_idle();
}

void announce_mode()
{
    if ((g_dev.io_status & 0xA0) == 0xA0)
        outbyte(reg::kMode8Bit, 0x01);
    else
        outbyte(reg::kModeNibble, 0x00);
    if (g_dev.rev_dev < 0x1000) {
        outbyte(reg::kOld03, 0x00);
        outbyte(reg::kOld05, 0x00);
    }
}

void set_irq_bit(int flag)
{
    if (flag == 1)
        g_dev.io_status |= ctl::kIrqEnable;
    else
        g_dev.io_status &= static_cast<uint8_t>(~ctl::kIrqEnable);
    announce_mode();
}

void box_reset_pulse()
{
    outbyte(reg::kReset, 0x01);
    outbyte(reg::kReset, 0x00);
    sleep_ms(1);
}

void set_test_line(int on)
{
    if (on != 0)
        outbyte(reg::kTestOn, 0x01);
    else
        outbyte(reg::kTestOff, 0x00);
}

int ack_is_low()
{
    return (port_in(status_port()) & st::kAck) == 0 ? 1 : 0;
}

int link_test()
{
    set_test_line(1);
    sleep_ms(250);
    set_test_line(0);
    sleep_ms(250);
    set_test_line(1);
    sleep_ms(250);
    if (ack_is_low() != 1)
        return 0;
    set_test_line(0);
    sleep_ms(10);
    return ack_is_low() == 0 ? 1 : 0;
}

void outbyte_word(uint8_t control_reg, uint8_t control_value, uint8_t data_reg, uint16_t value)
{
    outbyte(control_reg, control_value);
    outbyte(data_reg, static_cast<uint8_t>(value & 0xFF));
    outbyte(data_reg, static_cast<uint8_t>(value >> 8));
}

uint8_t inbyte_mask(uint8_t address, uint8_t mask)
{
    return static_cast<uint8_t>(inbyte(address) & mask);
}

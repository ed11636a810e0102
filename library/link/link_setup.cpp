#include "link/link_setup.h"

#include "link/bus.h"
#include "link/eeprom.h"
#include "link/messages.h"
#include "link/port.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"
#include "tarvenix.h"

namespace {

constexpr int32_t kTuneRepetitions = 0x7FFF;
constexpr int kTunePasses = 64;
constexpr int kTuneRun = 5;              // consecutive passing wait states wanted

// Pseudo-random test values; reproducibility is not needed, speed is.
uint32_t g_rand = 0x2545F491u;
uint8_t next_random()
{
    g_rand ^= g_rand << 13;
    g_rand ^= g_rand >> 17;
    g_rand ^= g_rand << 5;
    return static_cast<uint8_t>(g_rand >> 8);
}

uint16_t data_port() { return g_dev.iolpt; }
uint16_t status_port() { return static_cast<uint16_t>(g_dev.iolpt + 1); }
uint16_t control_port() { return static_cast<uint16_t>(g_dev.iolpt + 2); }

bool data_reads_back(uint8_t v)
{
    port_out(data_port(), v);
    return port_in(data_port()) == v;
}

}  // namespace

int port_test()
{
    int kind = 1;
    port_out(control_port(), 0xA4);   // data lines to input
    if (!data_reads_back(0xAA))
        kind = 2;
    if (!data_reads_back(0x55))
        kind = 2;
    port_out(control_port(), 0x04);   // data lines driven again
    if (!data_reads_back(0xAA))
        kind = 0;
    if (!data_reads_back(0x55))
        kind = 0;
    port_idle();
    return kind;
}

int32_t register_test(uint8_t reg, uint8_t mask, int32_t repetitions)
{
    const uint8_t saved = inbyte(reg);
    int32_t left = 0;
    for (int32_t i = 0; i < repetitions; ++i) {
        const uint8_t v = static_cast<uint8_t>(next_random() | mask);
        outbyte(reg, v);
        if (inbyte(reg) != v) {
            (void)inbyte(reg);
            left = repetitions - i;
            break;
        }
    }
    outbyte(reg, saved);
    return repetitions <= 0 ? repetitions : left;
}

int32_t tune_wait(uint8_t reg, uint8_t mask, int32_t repetitions, int restart)
{
    if (restart != 0)
        g_dev.io_wait = 0;
    else
        g_dev.io_wait = static_cast<uint8_t>(g_dev.io_wait - 2);
    int32_t history[kTuneRun] = {1, 1, 1, 1, 1};
    for (int pass = 0; pass < kTunePasses; ++pass) {
        for (int i = 0; i < kTuneRun - 1; ++i)
            history[i] = history[i + 1];
        history[kTuneRun - 1] = register_test(reg, mask, repetitions);
        bool all_passed = true;
        for (int32_t r : history)
            all_passed = all_passed && r == 0;
        if (all_passed) {
            g_dev.io_wait = static_cast<uint8_t>(g_dev.io_wait - 2);
            break;
        }
        g_dev.io_wait = static_cast<uint8_t>(g_dev.io_wait + 1);
    }
    int32_t sum = 0;
    for (int32_t r : history)
        sum += r;
    return sum;
}

uint16_t read_device_code()
{
    if (g_dev.rev_dev >= kNewerFamily) {
        uint8_t word[2];
        ee_read_block(ee::kDeviceClass.offset, 2, word);
        const uint16_t code = static_cast<uint16_t>(word[0] | (word[1] << 8));
        return code == 0xFFFF ? kBlankEepromCode : code;
    }
    // Older family: the box pulls the acknowledge input low while the
    // address latched from the data lines equals its code.
    outbyte(reg::kReset, 0x00);
    uint16_t found = 0;
    for (unsigned v = 0x10; v < 0xFF; ++v) {
        port_out(data_port(), static_cast<uint8_t>(v));
        port_out(control_port(), 0x0C);
        port_out(control_port(), 0x04);
        if ((port_in(status_port()) & st::kAck) == 0)
            found = static_cast<uint16_t>(v);
    }
    outbyte(reg::kOld03, 0x00);
    if (found == 0x11 || found == 0x12)
        return found;
    msg("-> FATAL ERROR, device code not valid, contact manufacturer\n");
    return 0;
}

uint16_t link_check(uint8_t reg, uint8_t mask, uint16_t status, uint16_t expected)
{
    announce_mode();
    outbyte(reg::kControl, 0x8A);
    if (link_test() != 1) {
        status |= link_status::kFailed;
        box_reset_pulse();
        return status;
    }
    const uint16_t kind = status & link_status::kPortKind;
    uint8_t byte_wait = g_dev.io_wait;
    if (kind == 2) {
        g_dev.io_status = ctl::kByteMode;
        announce_mode();
        if (tune_wait(reg, mask, kTuneRepetitions, 1) == 0)
            status |= link_status::kByteOk;
        byte_wait = g_dev.io_wait;
    }
    if (kind == 1 || kind == 2) {
        g_dev.io_status = ctl::kNibbleMode;
        announce_mode();
        if (tune_wait(reg, mask, kTuneRepetitions, 1) == 0)
            status |= link_status::kNibbleOk;
    }
    if (status & link_status::kByteOk) {
        g_dev.io_status = ctl::kByteMode;
        g_dev.io_wait = byte_wait;
        announce_mode();
    }
    outbyte(reg::kControl, 0x9B);
    const uint16_t code = read_device_code();
    g_dev.rev_dev = code;
    if (code == expected || (code == 0x12 && expected == kNewerFamily))
        return status;
    status |= link_status::kFailed;
    box_reset_pulse();
    msg(" --> unknown device connected");
    return status;
}

uint16_t link_setup(uint16_t port, const char* file, int lsb_first, uint16_t expected)
{
    g_dev.iolpt = port;
    g_dev.io_status = ctl::kNibbleMode;
    g_dev.io_wait = 0xFF;
    g_dev.reserved_0E = 0;
    g_dev.rev_dev = 0;
    g_dev.UM_1 = g_dev.UM_m = 0.0f;
    g_dev.U0_1 = g_dev.U0_m = 0.0f;
    g_dev.U1_1 = g_dev.U1_m = 0.0f;
    port_reset();
    const int kind = port_test();
    if (kind == 0)
        return link_status::kNoPort;
    const uint16_t r = lcaLPTsetup(file, lsb_first != 0 ? 1 : 0);
    const uint16_t status = static_cast<uint16_t>(kind | r);
    if (status & link_status::kPortLogic) {
        g_dev.rev_dev = kNewerFamily;
        return link_check(reg::kTestNew, 0x00, status, expected);
    }
    return link_check(reg::kControl, 0x80, status, expected);
}

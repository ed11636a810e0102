#include "calib/autosetup.h"

#include <cstdio>
#include <cstring>

#include "calib/adjust.h"
#include "config/device_init.h"
#include "config/param_file.h"
#include "link/bus.h"
#include "link/eeprom.h"
#include "link/link_setup.h"
#include "link/messages.h"
#include "link/port.h"
#include "link/state.h"
#include "platform/platform.h"
#include "tarvenix.h"

namespace {

constexpr uint16_t kSearchPorts[3] = {0x3BC, 0x378, 0x278};
constexpr const char* kPortLogicFile = "004CA000.LCB";
constexpr const char* kCardFile = "012CA000.LCB";
constexpr uint16_t kExpectedCode = 0x1000;

bool box_found(uint16_t status)
{
    return (status & 0x3E0) < 0xE0;
}

uint16_t try_port(uint16_t port)
{
    return link_setup(port, kPortLogicFile, 0, kExpectedCode);
}

float read_ee_float(uint32_t* raw)
{
    uint8_t b[4];
    ee_read_block(ee_map(EeField::RefVoltage).offset, 4, b);
    float v;
    std::memcpy(&v, b, sizeof v);
    if (raw != nullptr)
        std::memcpy(raw, b, sizeof *raw);
    return v;
}

// The reference voltage for this run, in *ref on return.
void settle_reference(float* ref)
{
    if (g_dev.rev_dev >= kNewerFamily) {
        if (*ref == 0.0f) {
            *ref = read_ee_float(nullptr);
            msgf("-> Stored Reference Voltage: %.3fV\n", *ref);
            return;
        }
        const float old = read_ee_float(nullptr);
        uint32_t raw = 0;
        (void)read_ee_float(&raw);
        msgf("-> INFO, old reference voltage value was: %.3fV\n", old);
        if (raw == 0xFFFFFFFFu)
            return;   // never written: use the new value for this run only
        // room for two floats of any magnitude (%.3f of 3.4e38 is 44 characters):
        // a garbage old value must not cut off the new one
        char text[256];
        std::snprintf(text, sizeof text,
                      "Do you really want to overwrite ?\n\nold reference voltage: %.3fV\nnew reference voltage: %.3fV\n",
                      old, *ref);
        if (host_question("Quorin", text) != 0) {
            uint8_t b[4];
            std::memcpy(b, ref, sizeof b);
            (void)ee_write_block(ee_map(EeField::RefVoltage).offset, 4, b);
            std::memcpy(ref, b, sizeof b);   // the verify left what the EEPROM holds
            msgf("-> INFO, new reference voltage: %.3fV saved to memory\n", *ref);
        } else {
            *ref = old;
        }
        return;
    }
    if (*ref == 0.0f) {
        *ref = kDefaultRefVolts;
        msg("-> WARNING, device version has no internal memory, not possible to do Auto-Setup\n");
        msg("-> WARNING, re-run Setup and input reference voltage noted at bottom side of device\n");
        msg("-> WARNING, reference voltage parameter missing, set to default: 4.591V\n");
        msg("-> WARNING, device not adjusted for max. performance\n");
    }
}

void report(uint16_t status, uint16_t set007)
{
    if (status & 0x01)
        msg("-> FATAL ERROR, data transfer error\n");
    if (status & 0x02)
        msg("-> FATAL ERROR, LCA error\n");
    if (status & 0x04)
        msg("-> FATAL ERROR, 004LAxxx D/A error\n");
    if (status & 0x08)
        msg("-> FATAL ERROR, 007LAxxx error\n");
    switch (set007 & 0x0F) {
    case 0: msg("-> FATAL ERROR, A/D-Converter adjustment error, D/A-Converter not tested\n"); break;
    case 2: msg("-> A/D Jumper-Settings, Input-Range:  0V....+5V at Gain=1\n"); break;
    case 3: msg("-> A/D Jumper-Settings, Input-Range:  0V...+10V at Gain=1\n"); break;
    case 4: msg("-> A/D Jumper-Settings, Input-Range:  -5V....+5V at Gain=1\n"); break;
    case 5: msg("-> A/D Jumper-Settings, Input-Range:  -10V...+10V at Gain=1\n"); break;
    default: break;
    }
    switch (set007 & 0xF0) {
    case 0x00: msg("-> FATAL ERROR, D/A-Converter adjustment error\n"); break;
    case 0x10: msg("-> D/A Jumper-Settings, Output-Range:  AO1 0V..+10V   AO2 0V..+10V\n"); break;
    case 0x30: msg("-> D/A Jumper-Settings, Output-Range:  AO1 0V..-10V   AO2 0V..-10V\n"); break;
    case 0x50: msg("-> D/A Jumper-Settings, Output-Range:  AO1 -10V..+10V   AO2 0V..+10V\n"); break;
    case 0x90: msg("-> D/A Jumper-Settings, Output-Range:  AO1 0V..+10V   AO2 -10V..+10V\n"); break;
    case 0xD0: msg("-> D/A Jumper-Settings, Output-Range:  AO1 -10V..+10V   AO2 -10V..+10V\n"); break;
    default: break;
    }
}

}  // namespace

extern "C" {

TARVENIX_API int32_t AutoSetup(int32_t search, int32_t unused, int32_t* port, float* ref_volts)
{
    (void)unused;   // the value of *ref_volts alone decides
    if (port == nullptr || ref_volts == nullptr) {
        msg("-> FATAL ERROR, AutoSetup needs the port and the reference voltage\n");
        return 0;
    }
    msg("\n please wait...\n");
    const uint32_t start = tick_ms();
    uint16_t set007 = 0;
    uint16_t stored = 0;
    uint16_t status = 0;

    if (search != 0) {
        bool found = false;
        for (uint16_t p : kSearchPorts) {
            g_dev.iolpt = p;
            driver_enable_ports(p, 3);
            msgf("Search device on I/O address %Xh ...", p);
            status = try_port(p);
            if (box_found(status)) {
                *port = p;
                found = true;
                break;
            }
            msg(" --> not found\n");
            driver_disable_ports(p, 3);
        }
        if (!found)
            g_dev.iolpt = kNoBox;
    } else {
        const uint16_t p = static_cast<uint16_t>(*port & 0xFFFF);
        g_dev.iolpt = p;
        driver_enable_ports(p, 3);
        msgf("Search device on I/O address %3Xh...", static_cast<unsigned>(*port));
        status = try_port(p);
        if (!box_found(status)) {
            msg(" --> not found\n");
            driver_disable_ports(p, 3);
            g_dev.iolpt = kNoBox;
        }
    }

    if ((status & (link_status::kFailed | link_status::kNoPort)) == 0) {
        msg(" --> found\n");
        settle_reference(ref_volts);
        if ((status & 0xE0) == 0) {
            msg("-> FATAL ERROR, Tarvenix interface error, check 'TARVENIX.PAR'\n");
        } else {
            const uint8_t mode = g_dev.io_status;
            if ((status & link_status::kNibbleOk) == 0)
                msg("-> WARNING, data transfer uni-directional mode does not work\n");
            status = adjust_converters(*ref_volts, set007, status);
            if (g_dev.io_status != mode)
                msg("-> WARNING, data transfer 8-Bit bi-directional mode not reliable\n");
        }
    }

    report(status, set007);

    if (status != 0) {
        msg("-> FATAL ERROR, Tarvenix not ready\n");
    } else {
        if ((g_dev.io_status & 0xA0) == 0xA0)
            msg("-> data transfer 8-Bit bi-directional mode\n");
        msgf("-> Device supply voltage UDC+: %.2f Volt\n", GetUDC());
        if ((lcaMM0setup(kCardFile, 0) & 0xFFFF) == 8)
            msg("-> Box Card Kestel-1 found and initialized\n");
        stored = write_parameters(status, set007);
        if (stored != 0) {
            msg("-> FATAL ERROR, parameter data write error\n");
        } else {
            if (g_dev.rev_dev >= kNewerFamily)
                stored = static_cast<uint16_t>(write_time_stamp("AD"));
            msg(stored != 0 ? "-> FATAL ERROR, Time Stamp write error\n" : "-> Tarvenix OK\n");
        }
    }

    const uint32_t elapsed = (tick_ms() - start) / 1000u;
    msgf("-> Elapsed time since start of setup: %ld sec\n", static_cast<long>(elapsed));

    if (status != 0 || stored != 0) {
        msg("-> FATAL ERROR, Tarvenix measurement system error, check error messages\n");
        return 0;
    }
    msg("-> OK\n");
    return 1;
}

}  // extern "C"

#include "config/device_init.h"

#include <cstdio>
#include <string>

#include "config/param_file.h"
#include "link/bus.h"
#include "link/eeprom.h"
#include "link/link_setup.h"
#include "link/messages.h"
#include "link/port.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"
#include "tarvenix.h"

namespace {

constexpr uint16_t kSearchPorts[] = {0x3BC, 0x378, 0x278};
constexpr int kPortRange = 3;   // data, status, control

// The port's own registers back to rest and port access withdrawn.
void shut_port()
{
    port_out(g_dev.iolpt, 0x00);
    port_out(static_cast<uint16_t>(g_dev.iolpt + 2), 0x04);
    set_irq_bit(0);
    driver_disable_ports(g_dev.iolpt, kPortRange);
}

}  // namespace

void time_stamp_path(char* out, int size, uint16_t port, const char* base)
{
    const char* ext = port == 0x378 ? ".378" : port == 0x3BC ? ".3BC" : port == 0x278 ? ".278" : "";
    char name[64];
    std::snprintf(name, sizeof name, "%s%s", base, ext);
    std::snprintf(out, static_cast<size_t>(size), "%s", data_path(name).c_str());
}

void release_outputs()
{
    putDAVolt(1, 0.0f, 0);
    putDAVolt(2, 0.0f, 1);
    // reference timer counters 0, 1, 2: mode 0, binary, count 1 (stopped)
    outbyte_word(reg::kRefControl, 0x30, reg::kRefCount0, 1);
    outbyte_word(reg::kRefControl, 0x70, reg::kRefCount1, 1);
    outbyte_word(reg::kRefControl, 0xB0, reg::kRefCount2, 1);
    box_reset_pulse();
}

int write_time_stamp(const char* base)
{
    const uint32_t t = calendar_time();
    char path[kDirCapacity + 64];
    time_stamp_path(path, sizeof path, g_dev.iolpt, base);
    char line[16];
    std::snprintf(line, sizeof line, "%8X\n", t);
    int result = write_file_atomic(path, line) == 0 ? 0 : 1;
    uint8_t bytes[4] = {static_cast<uint8_t>(t), static_cast<uint8_t>(t >> 8), static_cast<uint8_t>(t >> 16),
                        static_cast<uint8_t>(t >> 24)};
    if (ee_write_block(ee::kTimeStamp.offset, ee::kTimeStamp.size, bytes) != 0)
        result |= 2;
    return result;
}

int check_time_stamp(uint16_t port, const char* base)
{
    char path[kDirCapacity + 64];
    time_stamp_path(path, sizeof path, port, base);
    std::FILE* f = std::fopen(path, "r");
    if (f == nullptr)
        return 1;
    char line[90];
    unsigned file_value = 0;
    bool have = false;
    if (std::fgets(line, sizeof line, f) != nullptr)
        have = std::sscanf(line, " %x", &file_value) == 1;
    std::fclose(f);
    uint8_t bytes[4];
    ee_read_block(ee::kTimeStamp.offset, ee::kTimeStamp.size, bytes);
    const uint32_t stored = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return have && file_value == stored ? 0 : 2;
}

uint8_t init_at_port(uint16_t port, const char* lpt_file, const char* main_file, const char* card_file)
{
    g_dev.io_status = ctl::kNibbleMode;
    g_dev.io_wait = 0xFF;
    msgf("Init device on I/O address %Xh ...", port);
    g_dev.iolpt = port;
    driver_enable_ports(port, kPortRange);
    port_reset();
    (void)lcaLPTsetup(lpt_file, 0);
    uint8_t status;
    if (link_test() == 0) {
        msg(" --> not found\n");
        status = init_status::kNoBox;
    } else {
        msg(" --> found\n");
        const int e = read_parameters(port);
        announce_mode();
        status = init_status::kOk;
        if (e != 0) {
            msg("-> ERROR: Parameter file missing or parameter not valid\n");
            status = init_status::kParameters;
        }
        if (g_dev.rev_dev >= kNewerFamily && check_time_stamp(g_dev.iolpt, "AD") != 0) {
            status = init_status::kTimeStamp;
            msg("-> ERROR: Time stamp not valid re-run Setup or AutoSetup\n");
        }
        if (status == init_status::kOk) {
            if (lcasetup(main_file) != 0)
                status = init_status::kMainLogic;
            outbyte(reg::kSampling, 0x00);
            outbyte(reg::kControl, 0x8B);
            putDAVolt(1, 0.0f, 0);
            putDAVolt(2, 0.0f, 1);
            if (status == init_status::kOk) {
                if (lcaMM0setup(card_file, 0) == 8)
                    status = init_status::kCardFound;
                return status;
            }
        }
    }
    release_outputs();
    shut_port();
    g_dev.iolpt = kNoBox;
    return status;
}

extern "C" {

TARVENIX_API int32_t InitTarvenixDevice(int32_t port)
{
    static const char kLpt[] = "004CA000.LCB";
    static const char kMain[] = "007CA003.LCB";
    static const char kCard[] = "012CA000.LCB";
    msg("\n please wait...\n");
    uint8_t s = init_status::kNoBox;
    if (port == 0) {
        bool found = false;
        for (uint16_t p : kSearchPorts) {
            g_dev.iolpt = p;
            s = init_at_port(p, kLpt, kMain, kCard);
            if ((s & init_status::kFailureBits) == 0) {
                found = true;
                break;
            }
        }
        if (!found)
            return 0;
    } else {
        s = init_at_port(static_cast<uint16_t>(port), kLpt, kMain, kCard);
        if ((s & init_status::kFailureBits) != 0)
            return 0;
    }
    if (s & init_status::kCardFound)
        msg("-> Box Card Kestel-1 found and initialized\n");
    return 1;
}

TARVENIX_API int32_t DeInitTarvenix(void)
{
    if (g_dev.iolpt != kNoBox && g_port != nullptr) {
        release_outputs();
        shut_port();
    }
    return driver_close();
}

}  // extern "C"

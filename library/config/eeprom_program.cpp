#include "config/eeprom_program.h"

#include <cstdio>
#include <string>

#include "link/bus.h"
#include "link/eeprom.h"
#include "link/messages.h"
#include "link/port.h"
#include "link/state.h"
#include "platform/platform.h"
#include "tarvenix.h"

namespace {

constexpr uint32_t kPortRange = 3;
constexpr uint16_t kBlank = 0xFFFF;     // word 0 of an unprogrammed EEPROM
constexpr int kLineCapacity = 90;

struct SetupData {
    uint16_t port = 0;
    uint16_t device_class = 0;
    uint16_t id007 = 0;
    float ref_voltage = 0.0f;
    uint32_t serial = 0;
};

// The five values of the setup data file. A missing line or one that does
// not start with its value rejects the file (message naming the line), so
// that nothing is ever programmed from a value the file does not hold.
bool read_setup_data(std::FILE* f, SetupData* out)
{
    static const char* const kWhat[5] = {
        "parallel port base-address",
        "DeviceClass, Identifier 004laxxx",
        "Identifier 007LAxxx",
        "RefVoltage",
        "serial number",
    };
    char line[kLineCapacity];
    for (int n = 1; n <= 5; ++n) {
        if (std::fgets(line, sizeof line, f) == nullptr) {
            msgf("ERROR: %s line %d (%s) is missing\n", kSetupDataFileName, n, kWhat[n - 1]);
            return false;
        }
        unsigned hex = 0;
        float volts = 0.0f;
        unsigned long serial = 0;
        bool ok = false;
        switch (n) {
        case 1: ok = std::sscanf(line, "%X", &hex) == 1; out->port = static_cast<uint16_t>(hex); break;
        case 2: ok = std::sscanf(line, "%X", &hex) == 1; out->device_class = static_cast<uint16_t>(hex); break;
        case 3: ok = std::sscanf(line, "%X", &hex) == 1; out->id007 = static_cast<uint16_t>(hex); break;
        case 4: ok = std::sscanf(line, "%f", &volts) == 1; out->ref_voltage = volts; break;
        default: ok = std::sscanf(line, "%lu", &serial) == 1; out->serial = static_cast<uint32_t>(serial); break;
        }
        if (!ok) {
            msgf("ERROR: %s line %d (%s) does not start with a %s\n", kSetupDataFileName, n, kWhat[n - 1],
                 n <= 3 ? "hexadecimal number" : "number");
            return false;
        }
    }
    return true;
}

std::string setup_data_text(const SetupData& d, uint32_t next_serial)
{
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "%10Xh      // Parallel port base-address\n"
                  "%10Xh      // DeviceClass, Identifier 004laxxx\n"
                  "%10Xh      // Identifier 007LAxxx\n"
                  "%14.3fV  // RefVoltage\n"
                  "%10lu       // Serial-number to be programmed\n",
                  unsigned(d.port), unsigned(d.device_class), unsigned(d.id007), double(d.ref_voltage),
                  static_cast<unsigned long>(next_serial));
    return buf;
}

void info_lines(const SetupData& d)
{
    msgf("INFO, DeviceClass:   %5Xh\n", unsigned(d.device_class));
    msgf("INFO, ID007:         %5Xh\n", unsigned(d.id007));
    msgf("INFO, RefVoltage:    %9.3fV\n", double(d.ref_voltage));
    msgf("INFO, serial number: %5lu\n", static_cast<unsigned long>(d.serial));
}

}  // namespace

extern "C" {

TARVENIX_API int32_t InitTarvenix_EEPROM(int32_t program)
{
    const std::string path = data_path(kSetupDataFileName);
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) {
        msg("\n INFO: menu option not available, only for manufacturer use\n");
        return ee_program::kFileProblem;
    }
    SetupData data;
    const bool usable = read_setup_data(f, &data);
    std::fclose(f);
    if (!usable)
        return ee_program::kFileProblem;

    msg("\n Enable Device\n");
    if (driver_load() != 1) {
        msg("ERROR: Init Portward failed\n");
        return ee_program::kNoDriver;
    }
    const uint16_t port = data.port;
    g_dev.iolpt = port;
    g_dev.io_status = 0x04;   // nibble reads work on every port
    g_dev.io_wait = 0xFF;     // slowest reads: the link is not tuned here
    driver_enable_ports(port, kPortRange);
    port_reset();
    (void)lcaLPTsetup("004CA000.LCB", 0);

    int32_t code = ee_program::kOk;
    if (link_test() == 0) {
        msgf("ERROR: device not found at parallel-port address %Xh\n", unsigned(port));
        code = ee_program::kNoBox;
    } else {
        SetupData shown;
        ee_read_field<EeField::DeviceClass>(shown.device_class);
        if (shown.device_class == kBlank || program == 1) {
            // one statement per block: the blocks go to the chip in map order,
            // and a verify difference does not stop the later ones
            int e = ee_write_field<EeField::DeviceClass>(data.device_class);
            e |= ee_write_field<EeField::Id007>(data.id007);
            e |= ee_write_field<EeField::RefVoltage>(data.ref_voltage);
            e |= ee_write_field<EeField::SerialNumber>(data.serial);
            code = e * ee_program::kVerifyError;
            if (code & ee_program::kVerifyError) {
                msg("ERROR: EEPROM verify error\n");
            } else {
                // the next box gets the next serial number; the file is replaced whole or not at all
                if (write_file_atomic(path, setup_data_text(data, data.serial + 1u)) != 0) {
                    msgf("ERROR: Could not write file %s\n", kSetupDataFileName);
                    code |= ee_program::kFileProblem;
                }
                msg("EEProm programmed:\n");
                info_lines(data);
            }
        } else {
            code = ee_program::kShown;
            ee_read_field<EeField::Id007>(shown.id007);
            ee_read_field<EeField::RefVoltage>(shown.ref_voltage);
            ee_read_field<EeField::SerialNumber>(shown.serial);
            msg("EEProm contains data:\n");
            info_lines(shown);
        }
    }

    box_reset_pulse();
    driver_disable_ports(port, kPortRange);
    g_dev.iolpt = kNoBox;
    msg("Device disabled\n");
    return code;
}

}  // extern "C"

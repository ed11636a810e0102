#include "config/param_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "link/bus.h"
#include "link/eeprom.h"
#include "link/messages.h"
#include "link/state.h"
#include "platform/platform.h"

namespace {

constexpr uint16_t kNewerFamily = 0x1000;
constexpr uint8_t kFileWaitState = 255;   // the file always carries the slowest wait state
constexpr int kLineCapacity = 90;         // a longer line is split; its rest counts as the next line

// One field of the record as stored in the EEPROM: the map entry and the
// variable that holds it.
struct Slot {
    EeField field;
    void* value;
};

template <EeField F, typename T>
Slot slot(T& value)
{
    static_assert(sizeof(T) == ee_map(F).size, "variable width differs from the EEPROM map");
    return {F, &value};
}

// The record in rising offset order, 0Ch .. 4Fh.
struct Record {
    Slot slots[20];
    static constexpr int kFirstAfterMode = 5;   // UM_1: after io_wait the mode is announced
};

Record record(uint16_t& dev_error, uint16_t& set007)
{
    DeviceState& d = g_dev;
    return Record{{
        slot<EeField::DevError>(dev_error),
        slot<EeField::Reserved0E>(d.reserved_0E),
        slot<EeField::RevDev>(d.rev_dev),
        slot<EeField::IoStatus>(d.io_status),
        slot<EeField::IoWait>(d.io_wait),
        slot<EeField::UM_1>(d.UM_1),
        slot<EeField::UM_m>(d.UM_m),
        slot<EeField::U0_1>(d.U0_1),
        slot<EeField::U0_m>(d.U0_m),
        slot<EeField::U1_1>(d.U1_1),
        slot<EeField::U1_m>(d.U1_m),
        slot<EeField::Set007>(set007),
        slot<EeField::ADx1Zero>(d.ADx1Zero),
        slot<EeField::ADx10Zero>(d.ADx10Zero),
        slot<EeField::ADx100Zero>(d.ADx100Zero),
        slot<EeField::ADx1VoltProDigit>(d.ADx1VoltProDigit),
        slot<EeField::DA0Lc>(d.DA0Lc),
        slot<EeField::DA0VoltProDigit>(d.DA0VoltProDigit),
        slot<EeField::DA1Lc>(d.DA1Lc),
        slot<EeField::DA1VoltProDigit>(d.DA1VoltProDigit),
    }};
}

void read_slot(const Slot& s)
{
    const EeMapEntry& e = ee_map(s.field);
    ee_read_block(e.offset, e.size, s.value);
}

int write_slot(const Slot& s)
{
    const EeMapEntry& e = ee_map(s.field);
    return ee_write_block(e.offset, e.size, s.value);
}

// Number at the start of a line, C conventions. false: no number there, and
// the field keeps its value.
bool c_integer(const char* line, long* out)
{
    char* end = nullptr;
    const long v = std::strtol(line, &end, 0);
    if (end == line)
        return false;
    *out = v;
    return true;
}

bool c_unsigned(const char* line, unsigned long* out)
{
    char* end = nullptr;
    const unsigned long v = std::strtoul(line, &end, 10);
    if (end == line)
        return false;
    *out = v;
    return true;
}

void read_u16(const char* line, uint16_t* field)
{
    unsigned long v;
    if (c_unsigned(line, &v))
        *field = static_cast<uint16_t>(v);
}

void read_u8(const char* line, uint8_t* field)
{
    unsigned long v;
    if (c_unsigned(line, &v))
        *field = static_cast<uint8_t>(v);
}

void read_float(const char* line, float* field)
{
    char* end = nullptr;
    const float v = std::strtof(line, &end);
    if (end != line)
        *field = v;
}

// Lines 5 .. 20 of the file into the record. Lines 1-4 and 21 are not read.
void read_file_lines(std::FILE* f, uint16_t* dev_error)
{
    DeviceState& d = g_dev;
    char line[kLineCapacity];
    for (int n = 1; n <= 20; ++n) {
        if (std::fgets(line, sizeof line, f) == nullptr)
            return;   // short file: the remaining fields keep their values
        switch (n) {
        case 5: {
            long v;
            if (c_integer(line, &v))
                *dev_error = static_cast<uint16_t>(v);
            break;
        }
        case 6: read_u16(line, &d.iolpt); break;
        case 7: read_u16(line, &d.rev_dev); break;
        case 8: read_u8(line, &d.io_status); break;
        case 9: read_u8(line, &d.io_wait); break;
        case 10: read_float(line, &d.U0_1); break;
        case 11: read_float(line, &d.U0_m); break;
        case 12: break;   // Set007: the box's switches are not kept by the library
        case 13: read_float(line, &d.ADx1Zero); break;
        case 14: read_float(line, &d.ADx10Zero); break;
        case 15: read_float(line, &d.ADx100Zero); break;
        case 16: read_float(line, &d.ADx1VoltProDigit); break;
        case 17: read_float(line, &d.DA0Lc); break;
        case 18: read_float(line, &d.DA0VoltProDigit); break;
        case 19: read_float(line, &d.DA1Lc); break;
        case 20: read_float(line, &d.DA1VoltProDigit); break;
        default: break;
        }
    }
}

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...)
{
    char line[256];
    va_list ap;
    va_start(ap, format);
    const int n = std::vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    if (n > 0)
        out.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

constexpr char kStars[] = "*******************************************************************************\r\n";
// 40 characters between 19 and 20 asterisks
constexpr char kBannerText[] = "      Tarvenix measurement box driver   ";
static_assert(sizeof kBannerText == 41, "banner text field is 40 characters");
static_assert(sizeof kStars == 79 + 3, "79 asterisks and CR LF");

}  // namespace

std::string parameter_file_text(uint16_t dev_error, uint16_t set007)
{
    const DeviceState& d = g_dev;
    const bool newer = d.rev_dev >= kNewerFamily;
    // Boxes with EEPROM keep U0 in the EEPROM; the file carries the
    // one-point value 0 and twice the slope for other software.
    const float u0_1 = newer ? 0.0f : d.U0_1;
    const float u0_m = newer ? static_cast<float>(2.0f * d.U0_m) : d.U0_m;

    std::string s;
    s += kStars;
    append(s, "*******************%s********************\r\n", kBannerText);
    s += "******************* Ger\xE4teparameter-Datensatz f\xFCr Tarvenix ********************\r\n";
    s += kStars;
    append(s, "%4u (%4Xh) USHORT DevError        Fehlercode Ger\xE4teabgleich\r\n", unsigned(dev_error), unsigned(dev_error));
    append(s, "%4u (%4Xh) USHORT iolpt           I/O Port Basisadresse\r\n", unsigned(d.iolpt), unsigned(d.iolpt));
    append(s, "%4u (%4Xh) USHORT rev_dev         I/O Port Ger\xE4te-Revisionsnummer\r\n", unsigned(d.rev_dev), unsigned(d.rev_dev));
    append(s, "%4u (%4Xh) BYTE io_status         I/O Port Status\r\n", unsigned(d.io_status), unsigned(d.io_status));
    append(s, "%4u (%4Xh) BYTE io_wait           I/O Port Waitstate\r\n", unsigned(kFileWaitState), unsigned(kFileWaitState));
    append(s, "%11f  float U0_1             D/A U0 berechneter 1-Punkt\r\n", u0_1);
    append(s, "%11f  float U0_m             D/A U0 berechnete Steigung\r\n", u0_m);
    append(s, "%4u (%4Xh) USHORT Set007          Schalterstellungen Platine 007\r\n", unsigned(set007), unsigned(set007));
    append(s, "%11f  float ADx1Zero         Wert AD-Wandler bei 0V und Verst\xE4rkung 1\r\n", d.ADx1Zero);
    append(s, "%11f  float ADx10Zero        Wert AD-Wandler bei 0V und Verst\xE4rkung 10\r\n", d.ADx10Zero);
    append(s, "%11f  float ADx100Zero       Wert AD-Wandler bei 0V und Verst\xE4rkung 100\r\n", d.ADx100Zero);
    append(s, "%11f  float ADx1VoltProDigit AD-Wandler Spannung/Digit bei Verst\xE4rkung 1\r\n", d.ADx1VoltProDigit);
    append(s, "%11f  float DA0Lc            Spannung DA-Wandler AO1 bei 0x0\r\n", d.DA0Lc);
    append(s, "%11f  float DA0VoltProDigit  DA-Wandler AO1 Spannung/Digit\r\n", d.DA0VoltProDigit);
    append(s, "%11f  float DA1Lc            Spannung DA-Wandler AO2 bei 0x0\r\n", d.DA1Lc);
    append(s, "%11f  float DA1VoltProDigit  DA-Wandler AO2 Spannung/Digit\r\n", d.DA1VoltProDigit);
    s += dev_error == 0 ? "--> Tarvenix OK\r\n" : "--> FATAL ERROR, Tarvenix not ready\r\n";
    return s;
}

int32_t read_parameters(uint16_t port)
{
    uint16_t dev_error = 0;
    uint16_t set007 = 0;
    const Record r = record(dev_error, set007);

    // The port first, so that every byte of the record comes from this box.
    g_dev.iolpt = port;
    for (int i = 0; i < Record::kFirstAfterMode; ++i)
        read_slot(r.slots[i]);
    announce_mode();   // the box works in the transfer mode just read
    for (int i = Record::kFirstAfterMode; i < 20; ++i)
        read_slot(r.slots[i]);

    if (g_dev.rev_dev != kNewerFamily) {
        const std::string path = data_path(kParFileName);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            msgf("\n ERROR: Parameter file '%s' could not be opened\n", path.c_str());
            return -1;
        }
        read_file_lines(f, &dev_error);
        std::fclose(f);
    }
    announce_mode();
    return dev_error;
}

uint16_t write_parameters(uint16_t dev_error, uint16_t set007)
{
    uint16_t result = 0;
    if (g_dev.rev_dev >= kNewerFamily) {
        const Record r = record(dev_error, set007);
        int mismatch = 0;
        for (const Slot& s : r.slots)
            mismatch |= write_slot(s);   // leaves the bytes read back in the field
        if (mismatch != 0) {
            result |= 2;
            msg("ERROR: EEPROM verify error\n");
        } else {
            msg("-> EEProm setup data updated\n");
        }
    }
    if (write_file_atomic(data_path(kParFileName), parameter_file_text(dev_error, set007)) != 0)
        return static_cast<uint16_t>(result | 1);
    if (dev_error == 0)
        g_dev.par_written = 1;
    return result;
}

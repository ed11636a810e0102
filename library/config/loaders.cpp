#include "config/loaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "link/bus.h"
#include "link/messages.h"
#include "link/port.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"

namespace {

constexpr const char* kNotFound = "ERROR: LCA configuration file '%s' not found\n";

// Port-side logic on the data lines.
constexpr uint8_t kLptData = 0x01;
constexpr uint8_t kLptProgram = 0x02;   // held 1, pulsed 0
constexpr uint8_t kLptClock = 0x04;

// Board 007 through register 12h.
constexpr uint8_t k007Clock = 0x02;
constexpr uint8_t k007Loading = 0x04;
constexpr uint8_t k007Program = 0x08;   // held 1, pulsed 0
constexpr uint8_t k007Done = 0x08;      // read back in the same bit
// Box control register 13h around a 007 load: bits 1 and 4 belong to others
// and are kept, bits 3 and 7 are set, bit 0 selects reading DONE.
constexpr uint8_t k13Keep = 0x12;
constexpr uint8_t k13Load = 0x88;
constexpr uint8_t k13ReadDone = 0x89;

// 013 logic through registers 10h/05h.
constexpr uint8_t k013Strobe = 0x01;
constexpr uint8_t k013Program = 0x02;   // pulsed 1, then 0
constexpr uint8_t k013Loading = 0x0C;
constexpr uint8_t k013Done = 0x01;
constexpr uint8_t k013InitHigh = 0x02;  // /INIT: low while the device clears itself

// Expansion card through register DFh.
constexpr uint8_t kCardSetupA = 0x40;   // set-up values, written in this order
constexpr uint8_t kCardSetupB = 0x80;
constexpr uint8_t kCardClock = 0x04;
constexpr uint8_t kCardProgram = 0x02;  // held 1, pulsed 0
constexpr uint8_t kCardProbe = 0x10;    // read back by the loaded card only
constexpr uint8_t kCardDaMid = 0x08;    // high byte of code 800h: 0 V

// Configuration clocks after the last byte: one byte of 1 bits lets the
// device finish its start-up and raise DONE.
constexpr uint8_t kTrailer = 0xFF;

// Bit i (0 = first out) of a byte in the chosen order.
inline uint8_t bit_at(uint8_t byte, int i, bool lsb_first)
{
    return static_cast<uint8_t>((lsb_first ? byte >> i : byte >> (7 - i)) & 1);
}

// Loads a bitstream; on failure sends the shared message (unless quiet).
bool load_file(const std::string& path, std::vector<uint8_t>* bytes, bool quiet)
{
    if (read_bitstream(path, bytes) == BitstreamRead::Ok)
        return true;
    if (!quiet)
        msgf(kNotFound, path.c_str());
    return false;
}

}  // namespace

BitstreamRead read_bitstream(const std::string& path, std::vector<uint8_t>* bytes)
{
    bytes->clear();
    // Non-blocking open: a FIFO or device node given as a file name must not
    // hang the caller; only regular files are taken.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return BitstreamRead::Missing;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > kMaxBitstreamBytes) {
        ::close(fd);
        return BitstreamRead::Missing;
    }
    const size_t length = static_cast<size_t>(st.st_size);
    bytes->resize(length);
    size_t got = 0;
    while (got < length) {
        const ssize_t n = ::read(fd, bytes->data() + got, length - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got < length) {
        bytes->clear();
        return BitstreamRead::Short;
    }
    return BitstreamRead::Ok;
}

extern "C" {

TARVENIX_API uint16_t lcaLPTsetup(const char* file, int32_t lsb_first)
{
    const std::string path = data_path(file != nullptr ? file : "");
    uint16_t result = 0;
    box_reset_pulse();

    const uint16_t data = g_dev.iolpt;
    port_out(data, kLptProgram);
    port_out(data, 0x00);
    sleep_ms(1);
    port_out(data, kLptProgram);

    std::vector<uint8_t> bytes;
    const BitstreamRead r = read_bitstream(path, &bytes);
    if (r == BitstreamRead::Missing) {
        msgf(kNotFound, path.c_str());
        return 0x10;
    }
    if (r == BitstreamRead::Short)
        return 0x10;

    const bool lsb = lsb_first != 0;
    for (uint8_t b : bytes)
        for (int i = 0; i < 8; ++i) {
            const uint8_t bit = bit_at(b, i, lsb) & kLptData;
            port_out(data, static_cast<uint8_t>(bit | kLptClock | kLptProgram));
            port_out(data, static_cast<uint8_t>(bit | kLptProgram));
        }
    bytes.clear();
    bytes.shrink_to_fit();

    if (link_test() == 0)
        box_reset_pulse();
    else
        result = 8;
    announce_mode();
    return result;
}

TARVENIX_API int32_t lcasetup(const char* file)
{
    const std::string path = data_path(file != nullptr ? file : "");
    const uint8_t c = inbyte(reg::kControl) & k13Keep;
    const uint8_t c0 = c | k13Load;
    const uint8_t c1 = c | k13ReadDone;

    outbyte(reg::kControl, c0);
    outbyte(reg::kLogic007, k007Program);
    outbyte_na(0x00);
    sleep_ms(1);
    outbyte_na(k007Program);
    sleep_ms(1);

    outbyte(reg::kControl, c1);
    if (inbyte(reg::kLogic007) & k007Done) {
        msg("ERROR: 007LAxxx LCA error, not able to reset device\n");
        return 1;
    }
    outbyte(reg::kControl, c0);
    outbyte(reg::kLogic007, k007Program);
    outbyte_na(k007Program | k007Loading);

    std::vector<uint8_t> bytes;
    if (!load_file(path, &bytes, false))
        return 2;
    bytes.push_back(kTrailer);
    for (uint8_t b : bytes)
        for (int i = 0; i < 8; ++i) {
            const uint8_t bit = bit_at(b, i, false);
            outbyte_na(static_cast<uint8_t>(bit | k007Program | k007Loading));
            outbyte_na(static_cast<uint8_t>(bit | k007Program | k007Loading | k007Clock));
        }

    outbyte(reg::kControl, c1);
    if ((inbyte(reg::kLogic007) & k007Done) == 0) {
        msg("ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n");
        outbyte(reg::kControl, c0);
        outbyte(reg::kLogic007, k007Program);
        outbyte_na(0x00);
        return 3;
    }
    return 0;
}

TARVENIX_API int32_t lcasetup_013(const char* file)
{
    const std::string path = data_path(file != nullptr ? file : "");
    outbyte(reg::kLogic013, k013Program);
    sleep_ms(1);
    outbyte_na(0x00);
    sleep_ms(1);

    if (inbyte(reg::kLogic013) & k013Done) {
        msg("ERROR: 013LAxxx LCA error, not able to re-configure device, DONE high\n");
        return 1;
    }
    if ((inbyte(reg::kLogic013) & k013InitHigh) == 0) {
        msg("ERROR: 013LAxxx LCA error, not able to re-configure device, /INIT low\n");
        return 1;
    }

    std::vector<uint8_t> bytes;
    if (!load_file(path, &bytes, false))
        return 2;
    // An empty file still gives the device one strobe, with the lines high.
    if (bytes.empty())
        bytes.push_back(0xFF);
    for (uint8_t b : bytes) {
        outbyte(reg::kLogic013, k013Loading);
        outbyte(reg::kLogic013Data, b);
        outbyte(reg::kLogic013, k013Loading | k013Strobe);
        outbyte_na(k013Loading);
    }

    if ((inbyte(reg::kLogic013) & k013Done) == 0) {
        msg("ERROR: 013LAxxx LCA configuration failed, DONE low\n");
        outbyte(reg::kLogic013, k013Program);
        outbyte_na(0x00);
        return 3;
    }
    return 0;
}

TARVENIX_API uint16_t lcaMM0setup(const char* file, int32_t lsb_first)
{
    const std::string path = data_path(file != nullptr ? file : "");
    uint16_t result = 0;

    outbyte(reg::kCardLogic, kCardSetupA);
    outbyte(reg::kCardLogic, kCardSetupB);
    outbyte(reg::kCardLogic, kCardProgram);
    outbyte_na(0x00);
    sleep_ms(1);
    outbyte_na(kCardProgram);

    std::vector<uint8_t> bytes;
    if (!load_file(path, &bytes, true))
        return 0x10;
    bytes.push_back(kTrailer);
    const bool lsb = lsb_first != 0;
    for (uint8_t b : bytes)
        for (int i = 0; i < 8; ++i) {
            const uint8_t bit = bit_at(b, i, lsb);
            outbyte_na(static_cast<uint8_t>(bit | kCardClock | kCardProgram));
            outbyte_na(static_cast<uint8_t>(bit | kCardProgram));
        }

    // Only a loaded card latches bit 4 and gives it back.
    outbyte(reg::kCardLogic, kCardProbe);
    const uint8_t a = inbyte(reg::kCardLogic) & kCardProbe;
    outbyte(reg::kCardLogic, 0x00);
    const uint8_t b = inbyte(reg::kCardLogic) & kCardProbe;
    if (a == kCardProbe && b == 0) {
        result = 8;
    } else {
        outbyte(reg::kCardLogic, kCardSetupA);
        outbyte(reg::kCardLogic, kCardSetupB);
        sleep_ms(1);
    }

    // Expansion D/A channels to mid-scale, fitted card or not.
    for (int ch = 0; ch < 8; ++ch)
        outbyte(static_cast<uint8_t>(reg::kCardDaHigh1 + 2 * ch), kCardDaMid);
    return result;
}

}  // extern "C"

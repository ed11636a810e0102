// Programming the identity EEPROM on the simulated box from the setup data
// file: the rewritten file byte for byte, the chip's contents, the texts, and
// the setup data files that are refused before the box is touched.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/eeprom_program.h"
#include "eeprom_cells.h"
#include "fixture.h"
#include "link/port.h"
#include "link/state.h"
#include "sim/box_control.h"
#include "sim/eeprom24c02.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

const char* const kSetupIn = "378h\n1000\n7a03h   // any comment\n4.5912\n41\n";
const char* const kSetupOut =
    "       378h      // Parallel port base-address\n"
    "      1000h      // DeviceClass, Identifier 004laxxx\n"
    "      7A03h      // Identifier 007LAxxx\n"
    "         4.591V  // RefVoltage\n"
    "        42       // Serial-number to be programmed\n";

class EepromProgram : public LibraryTest {
protected:
    // The port-side logic is not loaded: the function loads it itself.
    void box(const std::string& text) { use_box(text); }
    template <typename T>
    T stored(int offset)
    {
        return testsupport::eeprom_value<T>(*box_, offset);
    }
    // The texts from `first` on, joined.
    std::string messages_from(const std::string& first) const
    {
        std::string s;
        bool on = false;
        for (const auto& m : testsupport::g_messages) {
            on = on || m == first;
            if (on)
                s += m;
        }
        return s;
    }
};

TEST_F(EepromProgram, BlankBoxIsProgrammedAndTheFileCountsOn)
{
    box("eeprom.contents = blank\n");
    dir_.write(kSetupDataFileName, kSetupIn);
    EXPECT_EQ(InitTarvenix_EEPROM(0), 0);

    EXPECT_EQ(dir_.read(kSetupDataFileName), kSetupOut);
    EXPECT_EQ(stored<uint16_t>(0x00), 0x1000);
    EXPECT_EQ(stored<uint16_t>(0x02), 0x7A03);
    EXPECT_EQ(stored<float>(0x04), 4.5912f);
    EXPECT_EQ(stored<uint32_t>(0x08), 41u);
    EXPECT_EQ(box_->eeprom().cell(0x0C), 0xFF);   // the record is not touched

    EXPECT_EQ(testsupport::g_messages.front(), "\n Enable Device\n");
    EXPECT_EQ(messages_from("EEProm programmed:\n"),
              "EEProm programmed:\n"
              "INFO, DeviceClass:    1000h\n"
              "INFO, ID007:          7A03h\n"
              "INFO, RefVoltage:        4.591V\n"
              "INFO, serial number:    41\n"
              "Device disabled\n");
    EXPECT_EQ(g_dev.iolpt, kNoBox);
    EXPECT_GE(box_->control().resets(), 1);   // released with a reset pulse

    // the rewritten file is read again as it stands: the next box gets 42
    EXPECT_EQ(InitTarvenix_EEPROM(1), 0);
    EXPECT_EQ(stored<uint32_t>(0x08), 42u);
    EXPECT_NE(dir_.read(kSetupDataFileName).find("        43       //"), std::string::npos);
}

TEST_F(EepromProgram, ProgrammedBoxIsOnlyShownWithoutArgumentOne)
{
    box("eeprom.contents = programmed\neeprom.device_class = 1000h\neeprom.id007 = 7003h\n"
        "eeprom.ref_voltage = 4.604\neeprom.serial = 123456\n");
    dir_.write(kSetupDataFileName, kSetupIn);
    EXPECT_EQ(InitTarvenix_EEPROM(0), 8);
    EXPECT_EQ(messages_from("EEProm contains data:\n"),
              "EEProm contains data:\n"
              "INFO, DeviceClass:    1000h\n"
              "INFO, ID007:          7003h\n"
              "INFO, RefVoltage:        4.604V\n"
              "INFO, serial number: 123456\n"
              "Device disabled\n");
    EXPECT_EQ(dir_.read(kSetupDataFileName), kSetupIn);
    EXPECT_EQ(stored<uint32_t>(0x08), 123456u);

    testsupport::g_messages.clear();
    EXPECT_EQ(InitTarvenix_EEPROM(1), 0);
    EXPECT_EQ(stored<uint32_t>(0x08), 41u);
    EXPECT_EQ(stored<uint16_t>(0x02), 0x7A03);
}

TEST_F(EepromProgram, VerifyErrorStopsBeforeTheFileAndTheInfoLines)
{
    box("eeprom.contents = blank\nfault.eeprom_stuck_cells = 09h\n");
    dir_.write(kSetupDataFileName, kSetupIn);
    EXPECT_EQ(InitTarvenix_EEPROM(0), 2);
    EXPECT_EQ(messages_from("ERROR: EEPROM verify error\n"), "ERROR: EEPROM verify error\nDevice disabled\n");
    EXPECT_EQ(dir_.read(kSetupDataFileName), kSetupIn);
    // every block was still written
    EXPECT_EQ(stored<uint16_t>(0x00), 0x1000);
    EXPECT_EQ(box_->eeprom().cell(0x08), 41);
}

TEST_F(EepromProgram, RewriteFailureKeepsTheOldFileAndReportsFour)
{
    box("eeprom.contents = blank\n");
    dir_.write(kSetupDataFileName, kSetupIn);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old;
    lim.rlim_cur = 16;   // the new file cannot be written whole
    setrlimit(RLIMIT_FSIZE, &lim);
    const int32_t result = InitTarvenix_EEPROM(0);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(result, 4);
    EXPECT_EQ(dir_.read(kSetupDataFileName), kSetupIn);
    EXPECT_EQ(stored<uint32_t>(0x08), 41u);   // the EEPROM stays programmed
    EXPECT_EQ(messages_from("ERROR: Could not write file AD_SETUP_DATA.TXT\n"),
              "ERROR: Could not write file AD_SETUP_DATA.TXT\n"
              "EEProm programmed:\n"
              "INFO, DeviceClass:    1000h\n"
              "INFO, ID007:          7A03h\n"
              "INFO, RefVoltage:        4.591V\n"
              "INFO, serial number:    41\n"
              "Device disabled\n");
}

TEST_F(EepromProgram, NoBoxAtTheFilesPort)
{
    box("eeprom.contents = blank\n");
    dir_.write(kSetupDataFileName, "278h\n1000\n7A03\n4.5\n1\n");
    EXPECT_EQ(InitTarvenix_EEPROM(0), 0x10);
    EXPECT_EQ(messages_from("ERROR: device not found at parallel-port address 278h\n"),
              "ERROR: device not found at parallel-port address 278h\nDevice disabled\n");
    EXPECT_EQ(g_dev.iolpt, kNoBox);
    EXPECT_EQ(box_->eeprom().writes_committed(), 0u);
}

TEST_F(EepromProgram, WithoutSetupDataFileNothingIsTouched)
{
    use_recorder();
    rec_.log.clear();
    EXPECT_EQ(InitTarvenix_EEPROM(1), 4);
    EXPECT_EQ(testsupport::all_messages(), "\n INFO: menu option not available, only for manufacturer use\n");
    EXPECT_TRUE(rec_.log.empty());
}

TEST_F(EepromProgram, NoPortAccessIsResultOneAndTouchesNoBox)
{
    use_recorder();   // registers the sink
    port_set_backend_override(nullptr);
    setenv("TARVENIX_BACKEND", "no-such-backend", 1);
    dir_.write(kSetupDataFileName, kSetupIn);
    const int32_t result = InitTarvenix_EEPROM(1);
    unsetenv("TARVENIX_BACKEND");

    EXPECT_EQ(result, 1);
    EXPECT_EQ(testsupport::all_messages(), "\n Enable Device\nERROR: Init Portward failed\n");
    EXPECT_TRUE(rec_.log.empty());
    EXPECT_EQ(g_dev.iolpt, kNoBox);
    EXPECT_EQ(dir_.read(kSetupDataFileName), kSetupIn);
}

TEST_F(EepromProgram, UnusableSetupDataFileIsRefusedNamingTheLine)
{
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"378h\n1000\n7A03\n4.5\n",
         "ERROR: AD_SETUP_DATA.TXT line 5 (serial number) is missing\n"},
        {"",
         "ERROR: AD_SETUP_DATA.TXT line 1 (parallel port base-address) is missing\n"},
        {"378h\n1000\nxyz\n4.5\n41\n",
         "ERROR: AD_SETUP_DATA.TXT line 3 (Identifier 007LAxxx) does not start with a hexadecimal number\n"},
        {"378h\n1000\n7A03\nV4.5\n41\n",
         "ERROR: AD_SETUP_DATA.TXT line 4 (RefVoltage) does not start with a number\n"},
        {"378h\n1000\n7A03\n4.5\n\n",
         "ERROR: AD_SETUP_DATA.TXT line 5 (serial number) does not start with a number\n"},
    };
    use_recorder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        dir_.write(kSetupDataFileName, c.file);
        rec_.log.clear();
        testsupport::g_messages.clear();
        EXPECT_EQ(InitTarvenix_EEPROM(1), 4);
        EXPECT_EQ(testsupport::all_messages(), c.message);
        EXPECT_TRUE(rec_.log.empty());   // no port access, nothing programmed
        EXPECT_EQ(dir_.read(kSetupDataFileName), c.file);
    }
}

TEST_F(EepromProgram, LowerCaseSpellingIsFoundAndRewrittenInPlace)
{
    box("eeprom.contents = blank\n");
    dir_.write("ad_setup_data.txt", kSetupIn);
    EXPECT_EQ(InitTarvenix_EEPROM(0), 0);
    EXPECT_EQ(dir_.read("ad_setup_data.txt"), kSetupOut);
    EXPECT_FALSE(dir_.exists(kSetupDataFileName));
}

}  // namespace

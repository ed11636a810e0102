// Bringing a box into service from stored parameters, the time stamps that
// tie parameters to their box, and the release.
#include <gtest/gtest.h>

#include <cmath>

#include "bus_events.h"
#include "config/device_init.h"
#include "config/param_file.h"
#include "fixture.h"
#include "link/eeprom.h"
#include "link/link_setup.h"
#include "link/state.h"
#include "sim/box.h"
#include "sim/box_control.h"
#include "sim/dac.h"
#include "sim/ref_sources.h"
#include "tarvenix.h"

using testsupport::all_messages;
using testsupport::g_messages;
using testsupport::LibraryTest;

namespace {

class DeviceInit : public LibraryTest {
protected:
    // What an earlier automatic setup leaves behind: the link found and
    // tuned, parameters stored (EEPROM and file) and, for the newer family,
    // the time stamp. Then a fresh library state on the same box.
    void store_parameters(uint16_t port, bool time_stamp = true)
    {
        const uint16_t s = link_setup(port, "004CA000.LCB", 0, 0x1000);
        ASSERT_EQ(s & 0x300, 0) << std::hex << s;
        // a plausible calibration: 0 V in the middle, 10 V over 2048 digits
        g_dev.ADx1Zero = 2048.0f;
        g_dev.ADx1VoltProDigit = 10.0f / 2048.0f;
        g_dev.DA0Lc = -10.0f;
        g_dev.DA0VoltProDigit = 20.0f / 4096.0f;
        g_dev.DA1Lc = -10.0f;
        g_dev.DA1VoltProDigit = 20.0f / 4096.0f;
        ASSERT_EQ(write_parameters(0, 0x0055), 0);
        if (time_stamp && g_dev.rev_dev >= 0x1000) {
            ASSERT_EQ(write_time_stamp("AD"), 0);
        }
        fresh_library();
    }
    void fresh_library()
    {
        testsupport::reset_state(dir_.path());
        ASSERT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
        g_messages.clear();
    }
};

TEST_F(DeviceInit, SearchTriesThePortsInOrderAndKeepsTheThird)
{
    use_box("box.port = 278h\nport.378 = bidir\n");
    store_parameters(0x278);
    ASSERT_EQ(InitTarvenixDevice(0), 1);
    const std::vector<std::string> want = {
        "\n please wait...\n",
        "Init device on I/O address 3BCh ...", " --> not found\n",
        "Init device on I/O address 378h ...", " --> not found\n",
        "Init device on I/O address 278h ...", " --> found\n",
        "-> Box Card Kestel-1 found and initialized\n",
    };
    EXPECT_EQ(g_messages, want);
    EXPECT_EQ(g_dev.iolpt, 0x278);
    EXPECT_EQ(IsTarvenixInitialized(), 1);
    EXPECT_EQ(box_->control().control13(), 0x8B);
    EXPECT_EQ(g_dev.ADx1VoltProDigit, 10.0f / 2048.0f);
    // both outputs at 0 V within the stored calibration (the box's own
    // offsets are a few millivolts)
    EXPECT_LT(std::fabs(box_->dac().ao_volts(1)), 0.03);
    EXPECT_LT(std::fabs(box_->dac().ao_volts(2)), 0.03);
}

TEST_F(DeviceInit, TimeStampDecidesWhetherParametersBelongToTheBox)
{
    use_box("");
    store_parameters(0x378);
    ASSERT_EQ(InitTarvenixDevice(0x378), 1);
    // file deleted: rejected although the parameters are valid
    fresh_library();
    ASSERT_EQ(std::remove(dir_.file("AD.378").c_str()), 0);
    EXPECT_EQ(InitTarvenixDevice(0x378), 0);
    EXPECT_EQ(all_messages(), "\n please wait...\nInit device on I/O address 378h ... --> found\n"
                              "-> ERROR: Time stamp not valid re-run Setup or AutoSetup\n");
    EXPECT_EQ(g_dev.iolpt, 0xFFFF);
    // a file whose value differs from the EEPROM's
    fresh_library();
    dir_.write("AD.378", "12345678\n");
    EXPECT_EQ(InitTarvenixDevice(0x378), 0);
}

TEST_F(DeviceInit, MissingParametersAndTimeStampGiveBothMessagesAndStatus40h)
{
    // a box never set up: no record in its EEPROM, so the file is needed
    // (rev_dev is not exactly 1000h), and neither file exists
    use_box("");
    EXPECT_EQ(init_at_port(0x378, "004CA000.LCB", "007CA003.LCB", "012CA000.LCB"), 0x40);
    const std::string m = all_messages();
    const auto a = m.find("-> ERROR: Parameter file missing or parameter not valid\n");
    const auto b = m.find("-> ERROR: Time stamp not valid re-run Setup or AutoSetup\n");
    ASSERT_NE(a, std::string::npos) << m;
    ASSERT_NE(b, std::string::npos) << m;
    EXPECT_LT(a, b);
    EXPECT_EQ(g_dev.iolpt, 0xFFFF);
}

TEST_F(DeviceInit, OlderFamilyNeedsNoTimeStamp)
{
    use_box("box.family = older\n");
    store_parameters(0x378);
    EXPECT_FALSE(dir_.exists("AD.378"));
    ASSERT_EQ(InitTarvenixDevice(0x378), 1) << all_messages();
    EXPECT_EQ(g_dev.rev_dev, 0x12);
}

TEST_F(DeviceInit, MainLogicThatDoesNotLoadReleasesThePort)
{
    use_box("fault.main_logic_rejects = yes\n");
    store_parameters(0x378);
    const int resets = box_->control().resets();
    EXPECT_EQ(init_at_port(0x378, "004CA000.LCB", "007CA003.LCB", "012CA000.LCB"), 0x02);
    EXPECT_EQ(all_messages(), "Init device on I/O address 378h ... --> found\n"
                              "ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n");
    EXPECT_EQ(g_dev.iolpt, 0xFFFF);
    EXPECT_GT(box_->control().resets(), resets);
    EXPECT_LT(std::fabs(box_->dac().ao_volts(1)), 0.05);
    EXPECT_LT(std::fabs(box_->dac().ao_volts(2)), 0.05);
    g_messages.clear();
    EXPECT_EQ(InitTarvenixDevice(0x378), 0);
    EXPECT_EQ(all_messages().find("Kestel"), std::string::npos);
}

TEST_F(DeviceInit, NoBoxAnywhere)
{
    use_box("box.present = no\n");
    EXPECT_EQ(InitTarvenixDevice(0), 0);
    EXPECT_EQ(all_messages(), "\n please wait...\n"
                              "Init device on I/O address 3BCh ... --> not found\n"
                              "Init device on I/O address 378h ... --> not found\n"
                              "Init device on I/O address 278h ... --> not found\n");
    EXPECT_EQ(IsTarvenixInitialized(), 0);
}

TEST_F(DeviceInit, ReleaseLeavesOutputsAtZeroCountersStoppedAndPortAtRest)
{
    use_box("");
    store_parameters(0x378);
    ASSERT_EQ(InitTarvenixDevice(0x378), 1);
    putDAVolt(1, 5.0f, 0);
    putDAVolt(2, -5.0f, 1);
    const int resets = box_->control().resets();
    EXPECT_EQ(DeInitTarvenix(), 1);
    EXPECT_EQ(box_->control().resets(), resets + 1);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(box_->refs().count(c), 1) << c;
        EXPECT_EQ(box_->refs().mode(c), 0) << c;
    }
    // outputs back near 0 V (within the stored, not the true, calibration)
    EXPECT_LT(std::fabs(box_->dac().ao_volts(1)), 0.05);
    EXPECT_LT(std::fabs(box_->dac().ao_volts(2)), 0.05);
    // the control register at rest; the mode announcement of the release
    // is the last thing on the data lines
    EXPECT_EQ(box_->port_read(0x37A), 0x04);
    // still counts as initialised; a second release has no driver to close
    EXPECT_EQ(IsTarvenixInitialized(), 1);
    EXPECT_EQ(DeInitTarvenix(), 0);
    EXPECT_EQ(driver_disable_ports(0x378, 3), 0);
}

TEST_F(DeviceInit, ReleaseWithoutBoxTouchesNoPort)
{
    use_recorder();
    EXPECT_EQ(DeInitTarvenix(), 1);
    EXPECT_TRUE(rec_.log.empty());
    // without registration there is nothing to close
    testsupport::reset_state(dir_.path());
    EXPECT_EQ(DeInitTarvenix(), 0);
    EXPECT_TRUE(rec_.log.empty());
}

TEST_F(DeviceInit, TimeStampFileAndEepromCarryTheSameSeconds)
{
    use_box("port_logic.loaded = yes\n");
    bring_up(0x04, 40);
    setenv("TARVENIX_FIXED_TIME", "1000000000", 1);
    EXPECT_EQ(write_time_stamp("AD"), 0);
    unsetenv("TARVENIX_FIXED_TIME");
    EXPECT_EQ(dir_.read("AD.378"), "3B9ACA00\n");
    uint8_t b[4];
    ee_read_block(0xFC, 4, b);
    EXPECT_EQ(b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24), 1000000000u);

    struct Case {
        const char* file;   // null: no file
        int expect;
    };
    const Case cases[] = {{"3B9ACA00\n", 0}, {"   3b9aca00\n", 0}, {"3B9ACA01\n", 2}, {"none\n", 2}, {"", 2},
                          {nullptr, 1}};
    for (const Case& c : cases) {
        std::remove(dir_.file("AD.378").c_str());
        if (c.file != nullptr)
            dir_.write("AD.378", c.file);
        EXPECT_EQ(check_time_stamp(0x378, "AD"), c.expect) << (c.file ? c.file : "(missing)");
    }
    // other ports have their own files; an unknown base gets no extension
    g_dev.iolpt = 0x3BC;
    char path[400];
    time_stamp_path(path, sizeof path, 0x3BC, "AD");
    EXPECT_EQ(std::string(path), dir_.file("AD.3BC"));
    time_stamp_path(path, sizeof path, 0x2F8, "AD");
    EXPECT_EQ(std::string(path), dir_.file("AD"));
}

TEST_F(DeviceInit, UnwritableDirectoryReportsTheFileButStillStoresTheEeprom)
{
    use_box("port_logic.loaded = yes\n");
    bring_up(0x04, 40);
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "/nonexistent-dir/");
    EXPECT_EQ(write_time_stamp("AD"), 1);
}

}  // namespace

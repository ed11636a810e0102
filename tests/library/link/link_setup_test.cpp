// Finding the box, classifying the port, tuning the wait state, reading the
// device code: against the simulated box (behaviour) and a recording port
// (exact sequences).
#include <gtest/gtest.h>

#include <algorithm>

#include "bus_events.h"
#include "fixture.h"
#include "link/bus.h"
#include "link/link_setup.h"
#include "link/state.h"
#include "tarvenix.h"

using testsupport::all_messages;
using testsupport::LibraryTest;

namespace {

class LinkSetup : public LibraryTest {};

struct LinkCase {
    const char* name;
    const char* box;
    uint16_t port;
    uint16_t expect_status;
    uint16_t expect_code;
    uint8_t expect_mode;     // io_status left
    const char* expect_msg;
};

// One row per situation a setup meets on a port.
TEST_F(LinkSetup, StatusWordCodeAndModePerBox)
{
    const LinkCase cases[] = {
        {"newer box, bidirectional port", "", 0x378, 0x0002 | 0x08 | 0x20 | 0x40, 0x1000, 0xA4, ""},
        {"newer box, output-only port: nibble tuning only", "port.378 = output\n", 0x378, 0x0001 | 0x08 | 0x20,
         0x1000, 0x04, ""},
        {"older box code 12h accepted for 1000h", "box.family = older\n", 0x378, 0x0002 | 0x20 | 0x40, 0x12, 0xA4,
         ""},
        {"older box code 11h refused", "box.family = older\nbox.device_code = 11h\n", 0x378,
         0x0002 | 0x20 | 0x40 | 0x100, 0x11, 0xA4, " --> unknown device connected"},
        {"older box with an invalid code", "box.family = older\nbox.device_code = 30h\n", 0x378,
         0x0002 | 0x20 | 0x40 | 0x100, 0, 0xA4,
         "-> FATAL ERROR, device code not valid, contact manufacturer\n --> unknown device connected"},
        {"newer box with a blank EEPROM", "eeprom.contents = blank\n", 0x378, 0x0002 | 0x08 | 0x20 | 0x40 | 0x100,
         0x1001, 0xA4, " --> unknown device connected"},
        {"no port at the address", "box.port = 278h\n", 0x3BC, 0x0200, 0, 0x04, ""},
        {"bidirectional port without a box", "box.port = 278h\nport.378 = bidir\n", 0x378, 0x0002 | 0x100, 0, 0x04,
         ""},
        {"box that never answers the link test", "box.answers = no\n", 0x378, 0x0002 | 0x100, 0, 0x04, ""},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        use_box(c.box);
        const uint16_t s = link_setup(c.port, "004CA000.LCB", 0, 0x1000);
        EXPECT_EQ(s, c.expect_status);
        EXPECT_EQ(g_dev.iolpt, c.port);
        EXPECT_EQ(g_dev.rev_dev, c.expect_code);
        EXPECT_EQ(g_dev.io_status, c.expect_mode);
        EXPECT_EQ(all_messages(), c.expect_msg);
        TearDown();
    }
}

TEST_F(LinkSetup, MissingBitstreamGoesOnAsOlderFamily)
{
    use_box("box.family = older\n");
    const uint16_t s = link_setup(0x378, "NOFILE.LCB", 0, 0x1000);
    EXPECT_EQ(s, 0x0002 | 0x10 | 0x20 | 0x40);
    EXPECT_EQ(g_dev.rev_dev, 0x12);
    EXPECT_NE(all_messages().find("ERROR: LCA configuration file '"), std::string::npos);
}

// The box needs settle_ns for a read; each wait iteration is delay_ns and
// the access that starts the read costs io_access_ns. The first passing wait
// state is the smallest w with io_access_ns + w * delay_ns >= settle_ns; the
// tuning ends two above it, in the middle of the first five passing ones.
TEST_F(LinkSetup, TuningEndsInTheMiddleOfTheFirstFivePassingWaitStates)
{
    struct Timing {
        int access, delay, settle;
    };
    for (const Timing t : {Timing{1000, 100, 5000}, Timing{1000, 50, 1500}, Timing{500, 20, 1500}}) {
        SetUp();
        char box[200];
        std::snprintf(box, sizeof box,
                      "box.family = older\ntiming.io_access_ns = %d\ntiming.delay_ns = %d\ntiming.settle_ns = %d\n",
                      t.access, t.delay, t.settle);
        use_box(box);
        const int first = std::max(0, (t.settle - t.access + t.delay - 1) / t.delay);
        for (uint8_t mode : {uint8_t(0x04), uint8_t(0xA4)}) {
            bring_up(mode, 0);
            EXPECT_EQ(tune_wait(0x13, 0x80, 0x7FFF, 1), 0);
            EXPECT_EQ(g_dev.io_wait, first + 2) << "settle " << t.settle << " mode " << int(mode);
        }
        TearDown();
    }
}

TEST_F(LinkSetup, TuningOnADeadLinkRunsSixtyFourPasses)
{
    use_box("box.family = older\nbox.present = no\n");
    bring_up(0x04, 0);
    EXPECT_NE(tune_wait(0x13, 0x80, 0x7FFF, 1), 0);
    EXPECT_EQ(g_dev.io_wait, 64);
}

class LinkSequence : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0x04, 0);
    }
};

TEST_F(LinkSequence, TuneWaitWithoutRestartStartsTwoBelow)
{
    g_dev.io_wait = 1;
    rec_.default_read = 0x00;   // every read fails against a set bit 7
    tune_wait(0x13, 0x80, 3, 0);
    // the first read cycle waits 255 iterations per nibble
    auto first = std::find_if(rec_.log.begin(), rec_.log.end(), [](const PortAccess& a) { return a.kind == 'D'; });
    ASSERT_NE(first, rec_.log.end());
    EXPECT_EQ(first->port, 255);
    EXPECT_EQ(g_dev.io_wait, static_cast<uint8_t>(255 + 64));
}

TEST_F(LinkSequence, RegisterTestWritesOnlyMaskedValuesAndRestores)
{
    rec_.default_read = 0x00;
    // the saved value is read first; every comparison then fails at once
    EXPECT_EQ(register_test(0x13, 0x80, 10), 10);
    const auto writes = bus_writes(rec_.log, 0x378);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_TRUE(writes[0].value & 0x80);
    EXPECT_EQ(writes[1].value, 0x00);   // saved value restored

    // a count <= 0 is returned unchanged without any test write
    rec_.log.clear();
    EXPECT_EQ(register_test(0x13, 0x80, -3), -3);
    EXPECT_EQ(bus_writes(rec_.log, 0x378), (std::vector<BusEvent>{{'w', 0x13, 0x00}}));
}

TEST_F(LinkSequence, RegisterTestOnABoxCountsTheFailingRepetition)
{
    // on a box whose register reads back, all repetitions pass
    SetUp();
    use_box("box.family = older\n");
    bring_up(0x04, 40);
    EXPECT_EQ(register_test(0x13, 0x80, 500), 0);
    g_dev.io_wait = 0;   // too short: the very first comparison fails
    EXPECT_EQ(register_test(0x13, 0x80, 500), 500);
}

TEST_F(LinkSequence, PortTestClassifiesByReadBack)
{
    struct Case {
        std::deque<uint8_t> reads;
        int kind;
    };
    const Case cases[] = {
        {{0xAA, 0x55, 0xAA, 0x55}, 1},   // lines keep driving while switched to input
        {{0xFF, 0xFF, 0xAA, 0x55}, 2},   // lines released
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0},   // nothing there
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        rec_.script[0x378] = c.reads;
        EXPECT_EQ(port_test(), c.kind);
        EXPECT_EQ(rec_.writes_to(0x37A), (std::vector<uint8_t>{0xA4, 0x04, 0x00}));
    }
}

}  // namespace

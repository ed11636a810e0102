// The strobe protocol: exact port sequences against a recording port, and
// round trips through the simulated box's bus logic.
#include <gtest/gtest.h>

#include "bus_events.h"
#include "fixture.h"
#include "link/bus.h"
#include "link/state.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

class BusSequence : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0x00, 7);
    }
};

TEST_F(BusSequence, OutbyteIsSixWritesWithStrobesOnTheCycleBase)
{
    g_dev.io_status = 0xB4;   // direction bit and mode flag never reach a write cycle
    outbyte(0x13, 0x8A);
    const std::vector<PortAccess> want = {
        {'W', 0x378, 0x13}, {'W', 0x37A, 0x1C}, {'W', 0x37A, 0x14},
        {'W', 0x378, 0x8A}, {'W', 0x37A, 0x15}, {'W', 0x37A, 0x14},
    };
    EXPECT_EQ(rec_.io(), want);
}

TEST_F(BusSequence, NibbleReadSelectsHalvesAndAssemblesStatusBits)
{
    struct Case {
        uint8_t high, low, expect;
    };
    const Case cases[] = {{0x80, 0x80, 0x11}, {0x38, 0x38, 0xEE}, {0x00, 0x00, 0x00}, {0xB8, 0x00, 0xF0}};
    for (const Case& c : cases) {
        rec_.log.clear();
        g_dev.io_status = 0x04;
        rec_.script[0x379] = {c.high, c.low};
        EXPECT_EQ(inbyte(0xE4), c.expect);
        const std::vector<PortAccess> want = {
            {'W', 0x378, 0xE4}, {'W', 0x37A, 0x0C}, {'W', 0x37A, 0x04}, {'W', 0x37A, 0x06},
            {'W', 0x378, 0x01}, {'R', 0x379, c.high}, {'W', 0x378, 0x00}, {'R', 0x379, c.low},
            {'W', 0x37A, 0x04}, {'W', 0x37A, 0x04},
        };
        EXPECT_EQ(rec_.io(), want);
    }
    // each half waits io_wait iterations
    EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), PortAccess{'D', 7, 0}), 2);
}

TEST_F(BusSequence, ByteReadSetsDirectionWithTheStrobeAndReadsDataOnce)
{
    g_dev.io_status = 0xA4;
    rec_.script[0x378] = {0x5A};
    EXPECT_EQ(inbyte(0x10), 0x5A);
    const std::vector<PortAccess> want = {
        {'W', 0x378, 0x10}, {'W', 0x37A, 0x0C}, {'W', 0x37A, 0x04}, {'W', 0x37A, 0xA6},
        {'R', 0x378, 0x5A}, {'W', 0x37A, 0xA4}, {'W', 0x37A, 0x04},
    };
    EXPECT_EQ(rec_.io(), want);
}

TEST_F(BusSequence, ModeFlagAloneAnnouncesNibbleButReadsEightBit)
{
    g_dev.io_status = 0x84;
    g_dev.rev_dev = 0x1000;
    announce_mode();
    EXPECT_EQ(bus_writes(rec_.log, 0x378), (std::vector<BusEvent>{{'w', 0x01, 0x00}}));
    rec_.log.clear();
    rec_.script[0x378] = {0x33};
    EXPECT_EQ(inbyte(0x10), 0x33);
    EXPECT_EQ(rec_.writes_to(0x378), (std::vector<uint8_t>{0x10}));   // no nibble selects
}

TEST_F(BusSequence, ZeroWaitReadsWithoutDelayAndOlderFamilyClearsRegisters)
{
    g_dev.io_wait = 0;
    g_dev.io_status = 0xA4;
    g_dev.rev_dev = 0x12;
    inbyte(0x10);
    for (const auto& a : rec_.log)
        EXPECT_NE(a.kind, 'D');
    rec_.log.clear();
    g_dev.io_status = 0xB4;
    set_irq_bit(0);
    EXPECT_EQ(g_dev.io_status, 0xA4);
    EXPECT_EQ(bus_writes(rec_.log, 0x378),
              (std::vector<BusEvent>{{'w', 0x00, 0x01}, {'w', 0x03, 0x00}, {'w', 0x05, 0x00}}));
}

TEST_F(BusSequence, FixedSequences)
{
    g_dev.io_status = 0x04;
    port_reset();
    EXPECT_EQ(rec_.writes_to(0x378), (std::vector<uint8_t>{0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(rec_.writes_to(0x37A), (std::vector<uint8_t>{0x04, 0x00}));
    EXPECT_EQ(rec_.slept_ms(), 104u);
    rec_.log.clear();
    box_reset_pulse();
    outbyte_word(0x17, 0x30, 0x14, 0x1234);
    EXPECT_EQ(bus_writes(rec_.log, 0x378), (std::vector<BusEvent>{{'w', 0x02, 0x01},
                                                                  {'w', 0x02, 0x00},
                                                                  {'w', 0x17, 0x30},
                                                                  {'w', 0x14, 0x34},
                                                                  {'w', 0x14, 0x12}}));
}

TEST_F(BusSequence, LinkTestTakesAtLeast760msAndFailsOnStuckAcknowledge)
{
    g_dev.io_status = 0x04;
    rec_.script[0x379] = {0xBF, 0xBF};   // acknowledge stays low after 07h
    EXPECT_EQ(link_test(), 0);
    EXPECT_GE(rec_.slept_ms(), 760u);
    rec_.log.clear();
    rec_.script[0x379] = {0xBF, 0xFF};
    EXPECT_EQ(link_test(), 1);
    rec_.script[0x379] = {0xFF};
    EXPECT_EQ(link_test(), 0);
}

// Round trips through the simulated box's bus logic in both read modes.
class BusOnBox : public LibraryTest {};

TEST_F(BusOnBox, RegisterRoundTripInBothModesAndLinkTest)
{
    use_box("box.family = older\n");
    for (uint8_t mode : {uint8_t(0x04), uint8_t(0xA4)}) {
        bring_up(mode, 40);
        for (int v = 0; v < 256; v += 37) {
            outbyte(0x10, static_cast<uint8_t>(v));
            EXPECT_EQ(inbyte(0x10), v) << "mode " << int(mode);
            EXPECT_EQ(inbyte_na(), v);
        }
        outbyte(0x10, 0x00);
        outbyte_na(0x5C);
        EXPECT_EQ(inbyte(0x10), 0x5C);
        // the box control register reads back with bit 7 forced
        outbyte(0x13, 0x0A);
        EXPECT_EQ(inbyte(0x13), 0x8A);
    }
    EXPECT_EQ(link_test(), 1);
}

TEST_F(BusOnBox, TooShortWaitStateReadsWrongValues)
{
    use_box("box.family = older\ntiming.settle_ns = 3000\ntiming.delay_ns = 100\n");
    bring_up(0x04, 5);   // 1000 ns access + 500 ns wait < 3000 ns settle
    outbyte(0x10, 0x42);
    EXPECT_NE(inbyte(0x10), 0x42);
    g_dev.io_wait = 20;  // 1000 + 2000 >= 3000
    EXPECT_EQ(inbyte(0x10), 0x42);
}

TEST_F(BusOnBox, UnloadedNewerBoxIgnoresTheBus)
{
    use_box("box.family = newer\n");
    bring_up(0x04, 40);
    outbyte(0x13, 0x42);
    EXPECT_EQ(link_test(), 0);
}

}  // namespace

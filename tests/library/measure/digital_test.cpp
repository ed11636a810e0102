// Digital ports: the register each export touches, and the ports' behaviour
// on the simulated box (P0 latch, P1 inputs, expansion ports by direction).
#include <gtest/gtest.h>

#include "bus_events.h"
#include "fixture.h"
#include "link/state.h"
#include "sim/digital_ports.h"
#include "sim/expansion_ports.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

class DigitalBus : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder();
        g_dev.iolpt = 0x378;
        g_dev.io_status = 0xA4;   // 8-bit reads: one data-port read per register read
        rec_.log.clear();
    }
    std::vector<BusEvent> events() const { return bus_events(rec_.log, 0x378); }
};

TEST_F(DigitalBus, EachExportIsOneRegisterAccess)
{
    struct Case {
        const char* what;
        void (*call)();
        BusEvent expect;
    };
    const Case cases[] = {
        {"P0", [] { SetDigitalPortP0(0xAF); }, {'w', 0x10, 0xAF}},
        {"P1", [] { (void)GetDigitalPortP1(); }, {'r', 0x11, 0}},
        {"dir 1,0,0,7", [] { BcKestel1SetDigitalPortDir(1, 0, 0, 7); }, {'w', 0xDF, 0x09}},
        {"dir 0,0,0,0", [] { BcKestel1SetDigitalPortDir(0, 0, 0, 0); }, {'w', 0xDF, 0x00}},
        {"dir 0,0,1,1", [] { BcKestel1SetDigitalPortDir(0, 0, 1, 1); }, {'w', 0xDF, 0x0C}},
        {"dir 80h x4", [] { BcKestel1SetDigitalPortDir(0x80, 0x80, 0x80, 0x80); }, {'w', 0xDF, 0x0F}},
        {"set port 1", [] { BcKestel1SetDigitalPort(1, 0x55); }, {'w', 0xD8, 0x55}},
        {"set port 2", [] { BcKestel1SetDigitalPort(2, 0x66); }, {'w', 0xD9, 0x66}},
        {"set port 3", [] { BcKestel1SetDigitalPort(3, 0x77); }, {'w', 0xDA, 0x77}},
        {"get port 1", [] { (void)BcKestel1GetDigitalPort(1); }, {'r', 0xD8, 0}},
        {"get port 3", [] { (void)BcKestel1GetDigitalPort(3); }, {'r', 0xDA, 0}},
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        c.call();
        EXPECT_EQ(events(), std::vector<BusEvent>{c.expect}) << c.what;
    }
}

TEST_F(DigitalBus, ReadsReturnTheRegisterValue)
{
    rec_.script[0x378] = {0x3C, 0xC3};
    EXPECT_EQ(GetDigitalPortP1(), 0x3C);
    EXPECT_EQ(BcKestel1GetDigitalPort(2), 0xC3);
}

TEST_F(DigitalBus, PortNumbersOutsideOneToThreeTouchNoRegister)
{
    for (int32_t port : {0, 4, -1, 0x100 + 1}) {
        BcKestel1SetDigitalPort(port, 0x55);
        EXPECT_EQ(BcKestel1GetDigitalPort(port), 0x00) << port;
    }
    EXPECT_TRUE(rec_.log.empty());
}

class DigitalBox : public LibraryTest {
protected:
    void start(const std::string& extra)
    {
        use_box("port_logic.loaded = yes\n" + extra);
        bring_up(0xA4, 10);
    }
};

TEST_F(DigitalBox, P0LatchesAndP1ReadsTheInputs)
{
    start("p1 = 5Ah\n");
    SetDigitalPortP0(0xA5);
    EXPECT_EQ(box_->digital().p0(), 0xA5);
    EXPECT_EQ(inbyte(0x10), 0xA5);
    EXPECT_EQ(GetDigitalPortP1(), 0x5A);
    box_->digital().set_p1(0x81);
    EXPECT_EQ(GetDigitalPortP1(), 0x81);
}

TEST_F(DigitalBox, SupplyMeasurementOfNewerBoxesClearsP0)
{
    start("");
    g_dev.rev_dev = 0x1002;
    SetDigitalPortP0(0xAF);
    (void)GetUDC();
    EXPECT_EQ(box_->digital().p0(), 0x00);
}

TEST_F(DigitalBox, ExpansionPortsFollowTheirDirections)
{
    start("expansion.loaded = yes\n"
          "expansion_ports.in1 = 11h\n"
          "expansion_ports.in2 = 22h\n"
          "expansion_ports.in3 = 3Ch\n");
    // port 1 out, port 2 in, port 3: low nibble out, high nibble in
    BcKestel1SetDigitalPortDir(1, 0, 1, 0);
    BcKestel1SetDigitalPort(1, 0xA5);
    BcKestel1SetDigitalPort(2, 0xFF);
    BcKestel1SetDigitalPort(3, 0x99);
    EXPECT_EQ(BcKestel1GetDigitalPort(1), 0xA5);
    EXPECT_EQ(BcKestel1GetDigitalPort(2), 0x22);
    EXPECT_EQ(BcKestel1GetDigitalPort(3), 0x39);
    EXPECT_EQ(box_->expansion_ports().latch(1), 0xA5);

    // all inputs: every port shows its input lines
    BcKestel1SetDigitalPortDir(0, 0, 0, 0);
    EXPECT_EQ(BcKestel1GetDigitalPort(1), 0x11);
    EXPECT_EQ(BcKestel1GetDigitalPort(3), 0x3C);
    // all outputs: the latches written before come out
    BcKestel1SetDigitalPortDir(1, 1, 1, 1);
    EXPECT_EQ(BcKestel1GetDigitalPort(2), 0xFF);
    EXPECT_EQ(BcKestel1GetDigitalPort(3), 0x99);
}

TEST_F(DigitalBox, ExpansionPortsAreDeadWithoutTheCardLogic)
{
    start("expansion.loaded = no\nexpansion_ports.in1 = 11h\n");
    BcKestel1SetDigitalPortDir(1, 1, 1, 1);
    BcKestel1SetDigitalPort(1, 0xA5);
    EXPECT_EQ(BcKestel1GetDigitalPort(1), 0x00);
    EXPECT_EQ(box_->expansion_ports().latch(1), 0x00);
}

}  // namespace

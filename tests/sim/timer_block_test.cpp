// The measurement timer block at register level: 8254 counter behaviour that
// the library's sequences do not reach, and its dependence on the design.
#include <gtest/gtest.h>

#include "fixture.h"
#include "sim/box.h"
#include "sim/timer_block.h"

namespace {

class TimerRegs : public ::testing::Test {
protected:
    void make(const std::string& design, const std::string& extra = "")
    {
        box_ = testsupport::make_box("port_logic.loaded = yes\nmain_logic.loaded = " + design + "\n" + extra);
        ASSERT_TRUE(box_ != nullptr);
    }
    void w(uint8_t reg, uint8_t v) { box_->reg_write(reg, v); }
    uint8_t r(uint8_t reg) { return box_->reg_read(reg); }
    void wait_us(uint64_t us) { box_->sleep_ns(us * 1000); }
    std::unique_ptr<tvsim::Box> box_;
};

TEST_F(TimerRegs, LatchHoldsASnapshotWhileTheCounterRuns)
{
    make("007CA004", "timer.events2_hz = 1000000\n");
    w(0x1B, 0xB4);            // counter 2, mode 2, low then high byte
    w(0x1A, 0x10);
    w(0x1A, 0x27);            // 10000
    wait_us(1001);            // load edge + 1000 events
    w(0x1B, 0x80);            // latch
    wait_us(500);
    EXPECT_EQ(r(0x1A), 0x28); // 9000 = 2328h
    EXPECT_EQ(r(0x1A), 0x23);
    // unlatched reads follow the counter: 500 events later
    const uint16_t live = static_cast<uint16_t>(r(0x1A) | r(0x1A) << 8);
    EXPECT_NEAR(live, 8500, 2);
    // mode 2 reloads: after 10000 events the count starts again
    wait_us(9000);
    w(0x1B, 0x80);
    const uint16_t again = static_cast<uint16_t>(r(0x1A) | r(0x1A) << 8);
    EXPECT_NEAR(again, 9500, 2);
}

TEST_F(TimerRegs, ByteModesStatusAndNullCount)
{
    make("007CA004", "timer.events0_hz = 1000\n");
    w(0x1B, 0x14);            // counter 0, LSB only, mode 2
    EXPECT_EQ(box_->timers().counter(0).status(), 0x40 | 0x80 | 0x10 | 0x04);
    w(0x18, 0x64);            // 100
    w(0x1B, 0xE2);            // read back status of counter 0
    EXPECT_EQ(r(0x18) & 0x40, 0x40);   // not loaded before the first edge
    wait_us(1500);
    w(0x1B, 0xE2);
    EXPECT_EQ(r(0x18), 0x80 | 0x10 | 0x04);
    EXPECT_EQ(r(0x18), 100);  // the status is read once, then the count again
    w(0x1B, 0x20);            // MSB only, mode 0
    w(0x18, 0x02);            // 200h
    wait_us(2000);            // load edge + 1 event
    EXPECT_EQ(r(0x18), 0x01); // 1FFh: high byte
}

TEST_F(TimerRegs, BlockIsSilentWithoutAMeasurementDesign)
{
    make("none");
    w(0x1B, 0x34);
    w(0x18, 0x34);
    w(0x18, 0x12);
    EXPECT_EQ(r(0x18), 0x00);
    EXPECT_EQ(r(0xF8), 0x00);
}

}  // namespace

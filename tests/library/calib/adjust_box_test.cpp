// The adjustment on a simulated box whose port-side logic is already
// configured: the registers it writes itself, in order, and the error bits
// of the link re-tuning.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "bus_events.h"
#include "calib/adjust.h"
#include "fixture.h"
#include "link/backend_sim.h"
#include "link/state.h"
#include "sim/box.h"
#include "tee_port.h"
#include "tarvenix.h"

namespace {

const char kBox[] = "port_logic.loaded = yes\nport.378 = bidir\nadc.reference = 4.5937\nadc.gain_error = -0.004\n"
                    "adc.range = -5..5\ndac.ao1_range = 0..10\ndac.ao2_range = 0..10\n"
                    "timing.settle_ns = 600\n";

class AdjustOnBox : public testsupport::LibraryTest {
protected:
    void record()
    {
        tee_ = std::make_unique<TeePort>(sim_backend());
        driver_close();
        port_set_backend_override(tee_.get());
        ASSERT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
    }
    std::vector<BusEvent> writes() const { return bus_writes(tee_->log, 0x378); }
    std::unique_ptr<TeePort> tee_;
};

TEST_F(AdjustOnBox, WritesItsOwnRegistersInOrder)
{
    use_box(kBox);
    record();
    bring_up(0xA4, 20);
    uint16_t set007 = 0;
    ASSERT_EQ(adjust_converters(4.5937f, set007, 0x62), 0);
    EXPECT_EQ(set007, 0x14);

    const std::vector<BusEvent> w = writes();
    // start of the converter calibration: box control, both outputs to 800h
    // without update
    const std::vector<BusEvent> head = {
        {'w', 0x13, 0x8B}, {'w', 0xE8, 0x00}, {'w', 0xE9, 0x08}, {'w', 0xEA, 0x00}, {'w', 0xEB, 0x08}};
    const auto at = std::search(w.begin(), w.end(), head.begin(), head.end());
    ASSERT_NE(at, w.end());
    // the gain-1 zero is the first measurement: the A/D is not started before
    EXPECT_EQ(std::count_if(w.begin(), at, [](const BusEvent& e) { return e.reg >= 0xE0 && e.reg <= 0xE2; }), 0);
    EXPECT_EQ(at[5], (BusEvent{'w', 0xE0, 0xFF}));
    // end: both outputs to 0 V (AO1 without, AO2 with the update), then the
    // measurement timer's counters 0-2
    const std::vector<BusEvent> tail = {
        {'w', 0x1B, 0x34}, {'w', 0x18, 0x08}, {'w', 0x18, 0x00}, {'w', 0x1B, 0x74}, {'w', 0x19, 0x28},
        {'w', 0x19, 0x00}, {'w', 0x1B, 0xB4}, {'w', 0x1A, 0x50}, {'w', 0x1A, 0x00}};
    ASSERT_GE(w.size(), tail.size() + 4);
    EXPECT_EQ(std::vector<BusEvent>(w.end() - tail.size(), w.end()), tail);
    EXPECT_EQ(w[w.size() - tail.size() - 4].reg, 0xE8);
    EXPECT_EQ(w[w.size() - tail.size() - 2].reg, 0xEA);
    const auto ev = bus_events(tee_->log, 0x378);
    EXPECT_EQ(ev[ev.size() - tail.size() - 1], (BusEvent{'r', 0xEC, 0}));
}

// The re-tuning on A0h after the adjustment design failed to load (no
// scratch register there): a link in 8-bit mode falls back to nibble mode
// and fails there too; a link that is in nibble mode only is not blamed.
TEST_F(AdjustOnBox, RetuningFallbackAndItsErrorBit)
{
    struct Case {
        uint16_t link_status;
        uint8_t io_status;
        uint16_t expected;
        uint8_t io_status_after;
    };
    const Case cases[] = {
        {0x62, 0xA4, 0x0B, 0x04},   // 8-bit and nibble passed: fallback, data transfer error
        {0x21, 0x04, 0x0A, 0x04},   // nibble only: no second tuning, no bit 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link_status);
        testsupport::reset_state(dir_.path());
        use_box(std::string(kBox) + "fault.main_logic_rejects = yes\n");
        bring_up(c.io_status, 20);
        uint16_t set007 = 0;
        EXPECT_EQ(adjust_converters(4.5937f, set007, c.link_status), c.expected);
        EXPECT_EQ(set007, 0);   // not calibrated
        EXPECT_EQ(g_dev.io_status, c.io_status_after);
    }
}

}  // namespace

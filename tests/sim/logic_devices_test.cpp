// The simulated box's loadable logic devices, driven register by register
// the way the box's hardware sees them (no library code involved).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/bitstream.h"
#include "sim/box.h"
#include "sim/digital_ports.h"
#include "sim/expansion_card.h"
#include "sim/logic013.h"
#include "sim/main_logic.h"

namespace {

using tvsim::Box;

std::unique_ptr<Box> box_from(const std::string& text)
{
    std::string error;
    auto box = Box::from_text("port_logic.loaded = yes\n" + text, &error);
    EXPECT_TRUE(box != nullptr) << error;
    return box;
}

std::vector<uint8_t> design(const std::string& name)
{
    return tvsim::make_bitstream(name, 300, 7);
}

// Board 007 through register 12h: PROGRAM pulse, loading, bits MSB first
// (or LSB first), then `extra` further clocks with the data line high.
void load_007(Box& box, const std::vector<uint8_t>& bytes, int extra, bool lsb_first = false)
{
    box.reg_write(0x12, 0x08);
    box.reg_write(0x12, 0x00);
    box.reg_write(0x12, 0x08);
    box.reg_write(0x12, 0x0C);
    auto clock = [&](int bit) {
        box.reg_write(0x12, static_cast<uint8_t>(0x0C | bit));
        box.reg_write(0x12, static_cast<uint8_t>(0x0E | bit));
    };
    for (uint8_t b : bytes)
        for (int i = 0; i < 8; ++i)
            clock((lsb_first ? b >> i : b >> (7 - i)) & 1);
    for (int i = 0; i < extra; ++i)
        clock(1);
}

bool done_007(Box& box)
{
    return (box.reg_read(0x12) & 0x08) != 0;
}

TEST(MainLogicDevice, DoneRisesOnlyAfterAnIntactDesignAndItsStartUpClocks)
{
    struct Case {
        std::string what;
        std::vector<uint8_t> bytes;
        int extra;
        bool lsb_first;
        std::string box;
        std::string loaded;   // "" = DONE low
    };
    auto flipped = design("007CA003");
    flipped[100] ^= 0x04;
    const Case cases[] = {
        {"good, with a trailing byte", design("007CA003"), 8, false, "", "007CA003"},
        {"event counting", design("007CA004"), 8, false, "", "007CA004"},
        {"start-up not clocked", design("007CA003"), 0, false, "", ""},
        {"start-up half clocked", design("007CA003"), 3, false, "", ""},
        {"bits reversed", design("007CA003"), 8, true, "", ""},
        {"bad checksum", flipped, 8, false, "", ""},
        {"other device's design", design("012CA000"), 8, false, "", ""},
        {"rejecting device", design("007CA000"), 8, false, "fault.main_logic_rejects = yes\n", ""},
    };
    for (const Case& c : cases) {
        auto box = box_from(c.box);
        load_007(*box, c.bytes, c.extra, c.lsb_first);
        EXPECT_EQ(box->main_logic().design(), c.loaded) << c.what;
        EXPECT_EQ(done_007(*box), !c.loaded.empty()) << c.what;
    }
}

TEST(MainLogicDevice, ProgramClearsUnlessTheDeviceRefuses)
{
    auto box = box_from("main_logic.loaded = 007CA000\n");
    EXPECT_TRUE(done_007(*box));
    box->reg_write(0x12, 0x00);
    EXPECT_FALSE(done_007(*box));
    EXPECT_EQ(box->main_logic().design(), "");

    auto stuck = box_from("main_logic.loaded = 007CA000\nfault.main_logic_no_reset = yes\n");
    load_007(*stuck, design("007CA004"), 8);
    EXPECT_EQ(stuck->main_logic().design(), "007CA000");

    // clocks without the loading bit are not configuration clocks
    auto idle = box_from("");
    idle->reg_write(0x12, 0x00);
    idle->reg_write(0x12, 0x08);
    for (uint8_t b : design("007CA003"))
        for (int i = 7; i >= 0; --i) {
            idle->reg_write(0x12, static_cast<uint8_t>(0x08 | ((b >> i) & 1)));
            idle->reg_write(0x12, static_cast<uint8_t>(0x0A | ((b >> i) & 1)));
        }
    EXPECT_EQ(idle->main_logic().design(), "");
}

TEST(MainLogicDevice, ScratchRegisterOnlyWhileADesignRuns)
{
    auto box = box_from("");
    box->reg_write(0xA0, 0x3C);
    EXPECT_EQ(box->reg_read(0xA0), 0x00);
    load_007(*box, design("007CA000"), 8);
    box->reg_write(0xA0, 0x3C);
    EXPECT_EQ(box->reg_read(0xA0), 0x3C);
    // the box reset clears the design's registers but not the configuration
    box->reset();
    EXPECT_EQ(box->reg_read(0xA0), 0x00);
    EXPECT_EQ(box->main_logic().design(), "007CA000");
}

TEST(MainLogicDevice, UnknownPreloadedDesignIsABoxFileError)
{
    std::string error;
    EXPECT_EQ(Box::from_text("main_logic.loaded = 007CA009\n", &error), nullptr);
    EXPECT_NE(error.find("main_logic.loaded"), std::string::npos) << error;
}

// The expansion card through DFh.
void load_card(Box& box, const std::vector<uint8_t>& bytes, bool setup = true)
{
    if (setup) {
        box.reg_write(0xDF, 0x40);
        box.reg_write(0xDF, 0x80);
    }
    box.reg_write(0xDF, 0x02);
    box.reg_write(0xDF, 0x00);
    box.reg_write(0xDF, 0x02);
    for (uint8_t b : bytes)
        for (int i = 7; i >= 0; --i) {
            box.reg_write(0xDF, static_cast<uint8_t>(0x06 | ((b >> i) & 1)));
            box.reg_write(0xDF, static_cast<uint8_t>(0x02 | ((b >> i) & 1)));
        }
}

bool probe_card(Box& box)
{
    box.reg_write(0xDF, 0x10);
    const bool a = (box.reg_read(0xDF) & 0x10) != 0;
    box.reg_write(0xDF, 0x00);
    const bool b = (box.reg_read(0xDF) & 0x10) != 0;
    return a && !b;
}

TEST(ExpansionCardDevice, LoadsOnlyInSetUpModeAndThenAnswersTheProbe)
{
    auto with_trailer = design("012CA000");
    with_trailer.push_back(0xFF);
    struct Case {
        std::string what;
        std::string box;
        bool setup;
        std::vector<uint8_t> bytes;
        bool loaded;
    };
    const Case cases[] = {
        {"good", "", true, with_trailer, true},
        {"no start-up clocks", "", true, design("012CA000"), false},
        {"without the set-up values", "", false, with_trailer, false},
        {"wrong design", "", true, design("007CA003"), false},
        {"rejecting card", "fault.expansion_rejects = yes\n", true, with_trailer, false},
        {"no card", "expansion.present = no\n", true, with_trailer, false},
    };
    for (const Case& c : cases) {
        auto box = box_from(c.box);
        EXPECT_FALSE(probe_card(*box)) << c.what;
        load_card(*box, c.bytes, c.setup);
        EXPECT_EQ(box->expansion().loaded(), c.loaded) << c.what;
        EXPECT_EQ(probe_card(*box), c.loaded) << c.what;
    }
}

TEST(ExpansionCardDevice, DirectionWritesDoNotDisturbALoadedCard)
{
    auto box = box_from("expansion.loaded = yes\n");
    EXPECT_TRUE(probe_card(*box));
    for (uint8_t dir : {0x0F, 0x00, 0x06, 0x02, 0x40, 0x0C})
        box->reg_write(0xDF, dir);
    EXPECT_TRUE(box->expansion().loaded());
    // the set-up values then PROGRAM low clear it
    box->reg_write(0xDF, 0x40);
    box->reg_write(0xDF, 0x80);
    EXPECT_FALSE(box->expansion().loaded());
    EXPECT_FALSE(probe_card(*box));
}

// The 013 logic through 10h/05h.
uint8_t status_013(Box& box)
{
    return box.reg_read(0x10) & 0x03;
}

TEST(Logic013Device, ByteWideLoadWithInitAndDone)
{
    auto box = box_from("logic013.present = yes\n");
    box->reg_write(0x10, 0x02);
    EXPECT_EQ(status_013(*box), 0x00);   // clearing: /INIT low
    box->reg_write(0x10, 0x00);
    EXPECT_EQ(status_013(*box), 0x02);   // ready for data
    const auto bytes = tvsim::make_bitstream("013CA000", 100, 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(status_013(*box), 0x02);
        box->reg_write(0x10, 0x0C);
        box->reg_write(0x05, bytes[i]);
        box->reg_write(0x10, 0x0D);
        box->reg_write(0x10, 0x0C);
    }
    EXPECT_EQ(status_013(*box), 0x03);
    EXPECT_EQ(box->logic013().design(), "013CA000");

    // a strobe without both loading bits takes nothing
    auto other = box_from("logic013.present = yes\n");
    for (uint8_t b : bytes) {
        other->reg_write(0x05, b);
        other->reg_write(0x10, 0x05);
        other->reg_write(0x10, 0x04);
    }
    EXPECT_EQ(status_013(*other), 0x02);
}

TEST(Logic013Device, RegisterTenIsTheP0LatchUnlessFitted)
{
    auto bare = box_from("");
    bare->reg_write(0x10, 0xA5);
    EXPECT_EQ(bare->reg_read(0x10), 0xA5);

    auto fitted = box_from("logic013.present = yes\nlogic013.loaded = yes\n");
    fitted->reg_write(0x10, 0xA4);
    EXPECT_EQ(fitted->reg_read(0x10), 0x03);
    EXPECT_EQ(fitted->digital().p0(), 0xA4);   // the output latch still takes the write
}

}  // namespace

// The EEPROM channel: exact line sequences on register 02h against a
// recording port, and transactions against the simulated 24C02.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bus_events.h"
#include "fixture.h"
#include "link/eeprom.h"
#include "link/state.h"
#include "platform/platform.h"
#include "sim/eeprom24c02.h"

using testsupport::LibraryTest;

namespace {

std::vector<uint8_t> line_writes(const std::vector<PortAccess>& log)
{
    std::vector<uint8_t> out;
    for (const BusEvent& e : bus_writes(log, 0x378)) {
        EXPECT_EQ(e.reg, 0x02);
        out.push_back(e.value);
    }
    return out;
}

// A byte on the lines: per bit (MSB first) data set with the clock low, clock
// high, clock low; then one clock with data released for the acknowledge.
std::vector<uint8_t> byte_lines(uint8_t b)
{
    std::vector<uint8_t> v;
    for (int i = 7; i >= 0; --i) {
        const uint8_t low = (b >> i) & 1 ? 0x40 : 0xC0;
        v.insert(v.end(), {low, static_cast<uint8_t>(low & 0x80), low});
    }
    v.insert(v.end(), {0x40, 0x00, 0x40});
    return v;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

class EepromLines : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0x04, 0);
    }
};

TEST_F(EepromLines, ByteA5hAsLineStates)
{
    ee_send_byte(0xA5);
    const std::vector<uint8_t> want = {
        0x40, 0x00, 0x40, 0xC0, 0x80, 0xC0, 0x40, 0x00, 0x40, 0xC0, 0x80, 0xC0, 0xC0,
        0x80, 0xC0, 0x40, 0x00, 0x40, 0xC0, 0x80, 0xC0, 0x40, 0x00, 0x40, 0x40, 0x00, 0x40,
    };
    EXPECT_EQ(line_writes(rec_.log), want);
    EXPECT_EQ(byte_lines(0xA5), want);
}

TEST_F(EepromLines, ByteWriteAboveFFhUsesBlockOneAddress)
{
    ee_write_byte(0x1FF, 0x3C);
    std::vector<uint8_t> want = {0x00, 0x80, 0xC0};
    append(want, byte_lines(0xA2));
    append(want, byte_lines(0xFF));
    append(want, byte_lines(0x3C));
    append(want, {0xC0, 0x80, 0x00});
    EXPECT_EQ(line_writes(rec_.log), want);
}

TEST_F(EepromLines, RandomReadSamplesDataWhileTheClockIsHigh)
{
    // 12h read in nibble mode: the low nibble's bit 1 is status bit 3
    const uint8_t one = 0x08, zero = 0x00;
    const uint8_t bits[8] = {one, zero, one, one, zero, zero, one, zero};   // B2h
    for (uint8_t b : bits)
        rec_.script[0x379].insert(rec_.script[0x379].end(), {0x00, b});
    EXPECT_EQ(ee_read_byte(0x1FF), 0xB2);

    std::vector<uint8_t> want = {0x00, 0x80, 0xC0};
    append(want, byte_lines(0xA2));
    append(want, byte_lines(0xFF));
    append(want, {0x00, 0x80, 0xC0});
    append(want, byte_lines(0xA3));
    for (int i = 0; i < 8; ++i)
        append(want, {0x00, 0x40});
    append(want, {0x00, 0x40, 0xC0, 0x80, 0x00});
    EXPECT_EQ(line_writes(rec_.log), want);

    // each data bit is read from 12h between the clock-high and clock-low writes
    const auto events = bus_events(rec_.log, 0x378);
    int reads = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].op != 'r')
            continue;
        ++reads;
        EXPECT_EQ(events[i].reg, 0x12);
        ASSERT_GT(i, 0u);
        EXPECT_EQ(events[i - 1], (BusEvent{'w', 0x02, 0x00}));
        EXPECT_EQ(events[i + 1], (BusEvent{'w', 0x02, 0x40}));
    }
    EXPECT_EQ(reads, 8);
}

TEST_F(EepromLines, CountZeroOrNegativeTouchesNothing)
{
    uint8_t buf[4] = {1, 2, 3, 4};
    ee_read_block(0x10, 0, buf);
    EXPECT_EQ(ee_write_block(0x10, 0, buf), 0);
    ee_read_block(0x10, -3, buf);
    EXPECT_TRUE(rec_.log.empty());
    EXPECT_EQ(buf[0], 1);
}

TEST_F(EepromLines, BlockWritePausesAfterEveryByteThenVerifies)
{
    uint8_t buf[3] = {0x11, 0x22, 0x33};
    rec_.default_read = 0x00;   // every bit reads 0: the verify sees 00h
    EXPECT_EQ(ee_write_block(0x20, 3, buf), 1);
    EXPECT_EQ(rec_.slept_ms(), 75u);
    // the sleeps sit between the writes, before the first read-back
    int sleeps = 0;
    bool read_before_last_sleep = false;
    for (const auto& a : rec_.log) {
        if (a.kind == 'S') {
            EXPECT_EQ(a.port, 25);
            ++sleeps;
        }
        if (a.kind == 'R' && sleeps < 3)
            read_before_last_sleep = true;
    }
    EXPECT_FALSE(read_before_last_sleep);
    EXPECT_EQ(buf[0], 0x00);
    EXPECT_EQ(buf[2], 0x00);
}

// Against the simulated chip.
class EepromOnBox : public LibraryTest {
protected:
    void start(const std::string& extra = "")
    {
        use_box("port_logic.loaded = yes\neeprom.contents = blank\n" + extra);
        bring_up(0x04, 40);
    }
};

TEST_F(EepromOnBox, BlockRoundTripAndMapFields)
{
    start();
    const float volts = 4.5912f;
    float v = volts;
    EXPECT_EQ(ee_write_field<EeField::RefVoltage>(v), 0);
    uint32_t serial = 0x01020304;
    EXPECT_EQ(ee_write_field<EeField::SerialNumber>(serial), 0);

    float back = 0;
    ee_read_field<EeField::RefVoltage>(back);
    EXPECT_EQ(back, volts);
    uint8_t raw[12];
    ee_read_block(0x00, 12, raw);
    uint8_t want[12] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01};
    std::memcpy(want + 4, &volts, 4);
    EXPECT_EQ(std::memcmp(raw, want, 12), 0);
    // the chip holds the bytes (little-endian, IEEE float) at the map's offsets
    EXPECT_EQ(box_->eeprom().cell(0x08), 0x04);
    EXPECT_EQ(box_->eeprom().cell(0x0B), 0x01);
}

TEST_F(EepromOnBox, VerifyMismatchLeavesTheReadBackInTheBuffer)
{
    start("fault.eeprom_stuck_cells = 31h\n");
    uint8_t buf[4] = {0x10, 0x20, 0x30, 0x40};
    EXPECT_EQ(ee_write_block(0x30, 4, buf), 1);
    const uint8_t want[4] = {0x10, 0xFF, 0x30, 0x40};
    EXPECT_EQ(std::memcmp(buf, want, 4), 0);
}

TEST_F(EepromOnBox, WriteDuringTheWriteCycleIsLost)
{
    start();
    ee_write_byte(0x40, 0x12);
    ee_write_byte(0x41, 0x34);   // no pause: the chip is still writing 40h
    sleep_ms(25);
    EXPECT_EQ(ee_read_byte(0x40), 0x12);
    EXPECT_EQ(ee_read_byte(0x41), 0xFF);
}

TEST_F(EepromOnBox, OlderBoxReadsFFh)
{
    use_box("box.family = older\n");
    bring_up(0x04, 40);
    uint16_t word = 0;
    ee_read_field<EeField::DeviceClass>(word);
    EXPECT_EQ(word, 0xFFFF);
}

}  // namespace

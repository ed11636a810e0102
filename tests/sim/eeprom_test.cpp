// The simulated 24C02, driven at line level through its two box registers by
// a small two-wire controller of the test's own (it reads the chip's
// acknowledge, which the library never does).
#include <gtest/gtest.h>

#include "fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "sim/box.h"
#include "sim/eeprom24c02.h"

namespace {

using testsupport::make_box;

// A two-wire controller on register 02h (bit 7 pulls data low, bit 6 pulls
// clock low) reading the data line at 12h bit 1.
class Controller {
public:
    explicit Controller(tvsim::Box& box) : box_(box) {}
    void lines(bool clock, bool data)
    {
        box_.reg_write(0x02, static_cast<uint8_t>((clock ? 0 : 0x40) | (data ? 0 : 0x80)));
    }
    bool data() { return (box_.reg_read(0x12) & 0x02) != 0; }
    void start()
    {
        lines(false, true);
        lines(true, true);
        lines(true, false);
        lines(false, false);
    }
    void stop()
    {
        lines(false, false);
        lines(true, false);
        lines(true, true);
    }
    // Sends a byte; true when the chip acknowledged it.
    bool send(uint8_t b)
    {
        for (int i = 7; i >= 0; --i) {
            const bool bit = (b >> i) & 1;
            lines(false, bit);
            lines(true, bit);
            lines(false, bit);
        }
        lines(false, true);
        lines(true, true);
        const bool ack = !data();
        lines(false, true);
        return ack;
    }
    uint8_t receive(bool ack)
    {
        uint8_t v = 0;
        for (int i = 7; i >= 0; --i) {
            lines(false, true);
            lines(true, true);
            if (data())
                v = static_cast<uint8_t>(v | (1 << i));
        }
        lines(false, true);
        lines(false, !ack);
        lines(true, !ack);
        lines(false, !ack);
        return v;
    }
    bool write_byte(uint8_t addr, uint8_t value, uint8_t device = 0xA0)
    {
        start();
        const bool ok = send(device) && send(addr) && send(value);
        stop();
        return ok;
    }
    // Random read; -1 when the chip did not acknowledge.
    int read_byte(uint8_t addr)
    {
        start();
        if (!send(0xA0) || !send(addr)) {
            stop();
            return -1;
        }
        start();
        if (!send(0xA1)) {
            stop();
            return -1;
        }
        const uint8_t v = receive(false);
        stop();
        return v;
    }

private:
    tvsim::Box& box_;
};

constexpr uint64_t kMs = 1000000;

class TempDir {
public:
    TempDir()
    {
        char t[] = "/tmp/tarvenix-sim-ee-XXXXXX";
        path_ = mkdtemp(t);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(SimEeprom, ByteWriteAndRandomReadWithAcknowledges)
{
    auto box = make_box("eeprom.contents = blank\n");
    Controller c(*box);
    EXPECT_TRUE(c.write_byte(0x37, 0x5A));
    box->sleep_ns(10 * kMs);
    EXPECT_EQ(c.read_byte(0x37), 0x5A);
    EXPECT_EQ(c.read_byte(0x38), 0xFF);
    EXPECT_EQ(box->eeprom().cell(0x37), 0x5A);
    // the line is idle (released) between transactions
    EXPECT_TRUE(c.data());
    EXPECT_EQ(box->eeprom().bus_state(), tvsim::TwoWireDecoder::State::Idle);
}

TEST(SimEeprom, WriteCycleRefusesAddressAndLosesWrites)
{
    auto box = make_box("eeprom.contents = blank\neeprom.write_cycle_us = 5000\n");
    Controller c(*box);
    ASSERT_TRUE(c.write_byte(0x10, 0x01));
    EXPECT_TRUE(box->eeprom().busy());
    // a second write and a read during the write cycle are not acknowledged
    EXPECT_FALSE(c.write_byte(0x11, 0x02));
    EXPECT_EQ(c.read_byte(0x10), -1);
    box->sleep_ns(5 * kMs);
    EXPECT_FALSE(box->eeprom().busy());
    EXPECT_EQ(c.read_byte(0x10), 0x01);
    EXPECT_EQ(c.read_byte(0x11), 0xFF);
    EXPECT_EQ(box->eeprom().writes_committed(), 1u);
}

TEST(SimEeprom, AnswersOnlyItsOwnDeviceAddress)
{
    auto box = make_box("eeprom.contents = blank\n");
    Controller c(*box);
    EXPECT_FALSE(c.write_byte(0x00, 0x12, 0xA2));   // block 1: another chip's address
    EXPECT_FALSE(c.write_byte(0x00, 0x12, 0x50));
    box->sleep_ns(10 * kMs);
    EXPECT_EQ(box->eeprom().cell(0x00), 0xFF);
    EXPECT_EQ(box->eeprom().writes_committed(), 0u);
}

TEST(SimEeprom, OnlyAStopWritesARepeatedStartAbandons)
{
    auto box = make_box("eeprom.contents = blank\n");
    Controller c(*box);
    c.start();
    ASSERT_TRUE(c.send(0xA0));
    ASSERT_TRUE(c.send(0x20));
    ASSERT_TRUE(c.send(0x99));
    c.start();   // no stop: the latched byte is dropped
    ASSERT_TRUE(c.send(0xA1));
    EXPECT_EQ(c.receive(false), 0xFF);
    c.stop();
    EXPECT_FALSE(box->eeprom().busy());
    EXPECT_EQ(box->eeprom().cell(0x20), 0xFF);
}

TEST(SimEeprom, SequentialReadAndPageRollOver)
{
    auto box = make_box("eeprom.contents = blank\n");
    Controller c(*box);
    // three bytes from 06h: the pointer wraps inside the 8-byte page (06, 07, 00)
    c.start();
    ASSERT_TRUE(c.send(0xA0));
    ASSERT_TRUE(c.send(0x06));
    ASSERT_TRUE(c.send(0x16));
    ASSERT_TRUE(c.send(0x17));
    ASSERT_TRUE(c.send(0x10));
    c.stop();
    box->sleep_ns(10 * kMs);
    EXPECT_EQ(box->eeprom().cell(0x06), 0x16);
    EXPECT_EQ(box->eeprom().cell(0x07), 0x17);
    EXPECT_EQ(box->eeprom().cell(0x00), 0x10);
    EXPECT_EQ(box->eeprom().cell(0x08), 0xFF);
    // sequential read with controller acknowledges crosses pages
    c.start();
    ASSERT_TRUE(c.send(0xA0));
    ASSERT_TRUE(c.send(0x06));
    c.start();
    ASSERT_TRUE(c.send(0xA1));
    EXPECT_EQ(c.receive(true), 0x16);
    EXPECT_EQ(c.receive(true), 0x17);
    EXPECT_EQ(c.receive(false), 0xFF);
    c.stop();
}

TEST(SimEeprom, StuckCellsKeepTheirValue)
{
    auto box = make_box("eeprom.contents = blank\nfault.eeprom_stuck_cells = 0Ch, 0x0D\n");
    Controller c(*box);
    for (uint8_t a : {0x0B, 0x0C, 0x0D}) {
        ASSERT_TRUE(c.write_byte(a, 0x00));
        box->sleep_ns(10 * kMs);
    }
    EXPECT_EQ(c.read_byte(0x0B), 0x00);
    EXPECT_EQ(c.read_byte(0x0C), 0xFF);
    EXPECT_EQ(c.read_byte(0x0D), 0xFF);
}

TEST(SimEeprom, InitialContentsFromTheBoxFile)
{
    auto blank = make_box("eeprom.contents = blank\n");
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(blank->eeprom().cell(i), 0xFF) << i;

    auto box = make_box("eeprom.contents = programmed\neeprom.device_class = 1002h\neeprom.id007 = 7A03h\n"
                      "eeprom.ref_voltage = 4.5\neeprom.serial = 70000\n");
    const auto& m = box->eeprom().image();
    const uint8_t head[12] = {0x02, 0x10, 0x03, 0x7A, 0x00, 0x00, 0x90, 0x40, 0x70, 0x11, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(m.data(), head, sizeof head), 0);
    for (int i = 12; i < 256; ++i)
        ASSERT_EQ(m[static_cast<size_t>(i)], 0xFF) << i;
}

TEST(SimEeprom, ImageFilePersistsAndWinsOverContents)
{
    TempDir dir;
    const std::string boxfile = dir.file("box.txt");
    {
        std::ofstream(boxfile) << "eeprom.contents = blank\neeprom.image = state/ee.bin\n";
    }
    std::string error;
    {
        auto box = tvsim::Box::from_file(boxfile, &error);
        ASSERT_TRUE(box != nullptr) << error;
        EXPECT_EQ(box->eeprom().image_path(), dir.file("state/ee.bin"));
        Controller c(*box);
        ASSERT_TRUE(c.write_byte(0x42, 0x24));
    }
    std::ifstream in(dir.file("state/ee.bin"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0x42]), 0x24);
    EXPECT_EQ(access(dir.file("state/ee.bin.tmp" + std::to_string(getpid())).c_str(), F_OK), -1);

    // a new box on the same file starts from the image, not from its contents key
    {
        std::ofstream(boxfile) << "eeprom.contents = programmed\neeprom.image = state/ee.bin\n";
    }
    auto again = tvsim::Box::from_file(boxfile, &error);
    ASSERT_TRUE(again != nullptr) << error;
    EXPECT_EQ(again->eeprom().cell(0x42), 0x24);
    EXPECT_EQ(again->eeprom().cell(0x00), 0xFF);

    // an image of the wrong size is a box-file error
    {
        std::ofstream(dir.file("state/ee.bin"), std::ios::binary | std::ios::trunc) << "short";
    }
    EXPECT_EQ(tvsim::Box::from_file(boxfile, &error), nullptr);
    EXPECT_NE(error.find("eeprom.image"), std::string::npos) << error;
}

TEST(SimEeprom, DefaultBoxKeepsItsImageInTheStateDirectory)
{
    TempDir dir;
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_STATE_HOME", dir.path().c_str(), 1);
    std::string error;
    auto box = tvsim::Box::default_box(&error);
    if (old != nullptr)
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
    ASSERT_TRUE(box != nullptr) << error;
    EXPECT_EQ(box->eeprom().image_path(), dir.path() + "/tarvenix/eeprom.bin");
    EXPECT_EQ(box->eeprom().cell(0x01), 0x10);   // programmed: device class 1000h
}

TEST(SimEeprom, OlderFamilyHasNoChipAndReadsThePullUp)
{
    auto box = make_box("box.family = older\n");
    Controller c(*box);
    EXPECT_FALSE(box->eeprom().present());
    EXPECT_FALSE(c.write_byte(0x00, 0x00));
    EXPECT_TRUE(c.data());
}

TEST(SimEeprom, BadStuckCellListIsABoxFileError)
{
    std::string error;
    EXPECT_EQ(tvsim::Box::from_text("fault.eeprom_stuck_cells = 0Ch, 300\n", &error), nullptr);
    EXPECT_NE(error.find("fault.eeprom_stuck_cells"), std::string::npos) << error;
}

}  // namespace

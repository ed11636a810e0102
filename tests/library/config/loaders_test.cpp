// Logic-device loaders: exact bus and port sequences against a recording
// port, and loads into the simulated box's devices.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "bus_events.h"
#include "config/loaders.h"
#include "fixture.h"
#include "link/bus.h"
#include "link/state.h"
#include "sim/box_control.h"
#include "sim/expansion_card.h"
#include "sim/logic013.h"
#include "sim/main_logic.h"
#include "tarvenix.h"

using testsupport::LibraryTest;
using testsupport::all_messages;

namespace {

std::string not_found(const std::string& path)
{
    return "ERROR: LCA configuration file '" + path + "' not found\n";
}

// ---------------------------------------------------------------- sequences

class LoaderSequence : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder();
        g_dev.iolpt = 0x378;
        g_dev.io_status = 0xA4;   // 8-bit reads: scripted values come straight from the data port
        g_dev.io_wait = 3;
        g_dev.rev_dev = 0x1000;
        rec_.log.clear();
    }
    // The register writes of the log as (register, value) pairs.
    std::vector<BusEvent> writes() const { return bus_writes(rec_.log, 0x378); }
    // Serial bit pairs on one register: (bit | a, bit | b) per bit.
    static std::vector<BusEvent> bit_pairs(uint8_t reg, const std::vector<int>& bits, uint8_t a, uint8_t b)
    {
        std::vector<BusEvent> out;
        for (int bit : bits) {
            out.push_back({'w', reg, static_cast<uint8_t>(bit | a)});
            out.push_back({'w', reg, static_cast<uint8_t>(bit | b)});
        }
        return out;
    }
    static std::vector<BusEvent> cat(std::vector<BusEvent> a, const std::vector<BusEvent>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
};

const std::vector<int> kOnes = {1, 1, 1, 1, 1, 1, 1, 1};

TEST_F(LoaderSequence, LptSetupPulsesProgramThenClocksBitsInTheChosenOrder)
{
    dir_.write("ONE.LCB", std::string("\x01\x80", 2));
    struct Case {
        int lsb_first;
        std::vector<int> bits;
    };
    const Case cases[] = {
        {1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {0, {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}},
        {7, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},   // any non-zero value
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        lcaLPTsetup("ONE.LCB", c.lsb_first);
        // After the box reset pulse (its sleep is the first one): raw writes of
        // the data register until the link test starts.
        auto it = std::find_if(rec_.log.begin(), rec_.log.end(), [](const PortAccess& a) { return a.kind == 'S'; });
        ASSERT_NE(it, rec_.log.end());
        EXPECT_EQ(bus_writes(std::vector<PortAccess>(rec_.log.begin(), it), 0x378),
                  (std::vector<BusEvent>{{'w', 0x02, 0x01}, {'w', 0x02, 0x00}}));
        std::vector<PortAccess> want = {{'W', 0x378, 0x02}, {'W', 0x378, 0x00}, {'S', 1, 0}, {'W', 0x378, 0x02}};
        for (int bit : c.bits) {
            want.push_back({'W', 0x378, static_cast<uint8_t>(bit | 0x06)});
            want.push_back({'W', 0x378, static_cast<uint8_t>(bit | 0x02)});
        }
        std::vector<PortAccess> got(it + 1, std::min(rec_.log.end(), it + 1 + static_cast<long>(want.size())));
        EXPECT_EQ(got, want) << "lsb_first " << c.lsb_first;
        // nothing else on the data lines before the link test's first cycle (06h)
        ASSERT_LT(it + 1 + want.size(), rec_.log.end());
        EXPECT_EQ(*(it + 1 + want.size()), (PortAccess{'W', 0x378, 0x06}));
    }
}

TEST_F(LoaderSequence, LptSetupResultFollowsTheLinkTest)
{
    dir_.write("E.LCB", "");
    struct Case {
        std::deque<uint8_t> status;   // acknowledge input (bit 6) at the link test's two reads
        uint16_t result;
        std::vector<BusEvent> tail;   // register writes after the link test
    };
    const Case cases[] = {
        {{0xBF, 0xFF}, 8, {{'w', 0x01, 0x00}}},
        {{0xFF}, 0, {{'w', 0x02, 0x01}, {'w', 0x02, 0x00}, {'w', 0x01, 0x00}}},
        {{0xBF, 0xBF}, 0, {{'w', 0x02, 0x01}, {'w', 0x02, 0x00}, {'w', 0x01, 0x00}}},
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        g_dev.io_status = 0x04;
        rec_.script[0x379] = c.status;
        EXPECT_EQ(lcaLPTsetup("E.LCB", 0), c.result);
        auto w = writes();
        // box reset, then the link test's 06h/07h/06h(/07h), then the tail
        const size_t test_cycles = c.status.size() == 2 ? 4 : 3;
        ASSERT_EQ(w.size(), 2 + test_cycles + c.tail.size());
        EXPECT_EQ(std::vector<BusEvent>(w.begin() + 2 + test_cycles, w.end()), c.tail);
    }
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(LoaderSequence, LcaSetupKeepsControlBitsAndClocksATrailingByte)
{
    struct Case {
        uint8_t reg13;   // register 13h as read at the start
        uint8_t c0, c1;
    };
    const Case cases[] = {{0xFF, 0x9A, 0x9B}, {0xED, 0x88, 0x89}, {0x10, 0x98, 0x99}};
    dir_.write("A5.LCB", "\xA5");
    for (const Case& c : cases) {
        rec_.log.clear();
        rec_.script[0x378] = {c.reg13, 0x00, 0x08};   // 13h, DONE low after PROGRAM, DONE high at the end
        EXPECT_EQ(lcasetup("A5.LCB"), 0);
        const std::vector<BusEvent> head = {
            {'w', 0x13, c.c0}, {'w', 0x12, 0x08}, {'w', 0x12, 0x00}, {'w', 0x12, 0x08}, {'w', 0x13, c.c1},
            {'w', 0x13, c.c0}, {'w', 0x12, 0x08}, {'w', 0x12, 0x0C},
        };
        // A5h most significant bit first, then eight 1 bits; the clock rises on 0Eh
        const auto bits = cat(bit_pairs(0x12, {1, 0, 1, 0, 0, 1, 0, 1}, 0x0C, 0x0E), bit_pairs(0x12, kOnes, 0x0C, 0x0E));
        EXPECT_EQ(writes(), cat(cat(head, bits), {{'w', 0x13, c.c1}}));
        const auto ev = bus_events(rec_.log, 0x378);
        EXPECT_EQ(std::count(ev.begin(), ev.end(), BusEvent{'r', 0x12, 0}), 2);
        EXPECT_EQ(rec_.slept_ms(), 2u);
    }
}

TEST_F(LoaderSequence, LcaSetupFailuresStopWhereTheDeviceSaysSo)
{
    dir_.write("E.LCB", "");
    struct Case {
        std::deque<uint8_t> reads;   // 13h, then 12h reads
        int32_t result;
        std::string message;
        std::vector<BusEvent> tail;   // last register writes
    };
    const Case cases[] = {
        {{0x00, 0x08}, 1, "ERROR: 007LAxxx LCA error, not able to reset device\n", {{'w', 0x12, 0x08}, {'w', 0x13, 0x89}}},
        {{0x00, 0xF7, 0xF7}, 3, "ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n",
         {{'w', 0x13, 0x89}, {'w', 0x13, 0x88}, {'w', 0x12, 0x08}, {'w', 0x12, 0x00}}},
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        testsupport::g_messages.clear();
        rec_.script[0x378] = c.reads;
        EXPECT_EQ(lcasetup("E.LCB"), c.result);
        EXPECT_EQ(all_messages(), c.message);
        const auto w = writes();
        ASSERT_GE(w.size(), c.tail.size());
        EXPECT_EQ(std::vector<BusEvent>(w.end() - static_cast<long>(c.tail.size()), w.end()), c.tail);
        if (c.result == 1) {
            EXPECT_EQ(w.size(), 5u);   // nothing clocked out
        }
    }
}

TEST_F(LoaderSequence, Lca013StrobesEachByteAndAnEmptyFileOnceWithFFh)
{
    struct Case {
        std::string content;
        std::vector<uint8_t> bytes;   // values seen in register 05h
    };
    const Case cases[] = {{"", {0xFF}}, {"\x12\x34", {0x12, 0x34}}};
    for (const Case& c : cases) {
        dir_.write("B.LCB", c.content);
        rec_.log.clear();
        rec_.script[0x378] = {0x02, 0x02, 0x03};   // DONE low, /INIT high; DONE high at the end
        EXPECT_EQ(lcasetup_013("B.LCB"), 0);
        std::vector<BusEvent> want = {{'w', 0x10, 0x02}, {'w', 0x10, 0x00}};
        for (uint8_t b : c.bytes) {
            const std::vector<BusEvent> strobe = {{'w', 0x10, 0x0C}, {'w', 0x05, b}, {'w', 0x10, 0x0D}, {'w', 0x10, 0x0C}};
            want = cat(want, strobe);
        }
        EXPECT_EQ(writes(), want);
    }
}

TEST_F(LoaderSequence, Lca013RefusesWhileDoneHighOrInitLow)
{
    dir_.write("B.LCB", "x");
    struct Case {
        std::deque<uint8_t> reads;
        std::string message;
    };
    const Case cases[] = {
        {{0x03}, "ERROR: 013LAxxx LCA error, not able to re-configure device, DONE high\n"},
        {{0x00, 0x00}, "ERROR: 013LAxxx LCA error, not able to re-configure device, /INIT low\n"},
    };
    for (const Case& c : cases) {
        rec_.log.clear();
        testsupport::g_messages.clear();
        rec_.script[0x378] = c.reads;
        EXPECT_EQ(lcasetup_013("B.LCB"), 1);
        EXPECT_EQ(all_messages(), c.message);
        EXPECT_EQ(writes(), (std::vector<BusEvent>{{'w', 0x10, 0x02}, {'w', 0x10, 0x00}}));
    }
    rec_.log.clear();
    testsupport::g_messages.clear();
    rec_.script[0x378] = {0x02, 0x02, 0x02};
    EXPECT_EQ(lcasetup_013("B.LCB"), 3);
    EXPECT_EQ(all_messages(), "ERROR: 013LAxxx LCA configuration failed, DONE low\n");
    const auto w = writes();
    EXPECT_EQ(std::vector<BusEvent>(w.end() - 2, w.end()), (std::vector<BusEvent>{{'w', 0x10, 0x02}, {'w', 0x10, 0x00}}));
}

TEST_F(LoaderSequence, CardSetupProbesAndAlwaysParksTheExpansionOutputs)
{
    struct Case {
        std::string content;
        int lsb_first;
        std::deque<uint8_t> probe;   // DFh read with bit 4 written 1, then 0
        uint16_t result;
        std::vector<int> bits;
    };
    const std::vector<int> one_lsb = {1, 0, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"", 0, {0x10, 0x00}, 8, kOnes},
        {"\x01", 1, {0x10, 0x00}, 8, one_lsb},
        {"", 0, {0x00, 0x00}, 0, kOnes},          // card absent: nothing latches bit 4
        {"", 0, {0xFF, 0xFF}, 0, kOnes},          // a floating register is no card either
    };
    for (const Case& c : cases) {
        dir_.write("C.LCB", c.content);
        rec_.log.clear();
        rec_.script[0x378] = c.probe;
        EXPECT_EQ(lcaMM0setup("C.LCB", c.lsb_first), c.result);
        std::vector<BusEvent> want = {{'w', 0xDF, 0x40}, {'w', 0xDF, 0x80}, {'w', 0xDF, 0x02}, {'w', 0xDF, 0x00},
                                      {'w', 0xDF, 0x02}};
        want = cat(want, bit_pairs(0xDF, c.bits, 0x06, 0x02));
        if (c.bits != kOnes)
            want = cat(want, bit_pairs(0xDF, kOnes, 0x06, 0x02));
        want = cat(want, {{'w', 0xDF, 0x10}, {'w', 0xDF, 0x00}});
        if (c.result == 0)
            want = cat(want, {{'w', 0xDF, 0x40}, {'w', 0xDF, 0x80}});
        for (uint8_t r = 0xC1; r <= 0xCF; r += 2)
            want.push_back({'w', r, 0x08});
        EXPECT_EQ(writes(), want);
    }
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(LoaderSequence, MissingFileStopsEachLoaderBeforeItClocks)
{
    const std::string path = dir_.path() + "NONE.LCB";
    EXPECT_EQ(lcaLPTsetup("NONE.LCB", 0), 0x10);
    EXPECT_EQ(rec_.writes_to(0x378).back(), 0x02);   // PROGRAM pulse was the last thing on the lines
    rec_.script[0x378] = {0x00, 0x00};   // 13h, then DONE low after PROGRAM
    EXPECT_EQ(lcasetup("NONE.LCB"), 2);
    rec_.script[0x378] = {0x02};
    EXPECT_EQ(lcasetup_013("NONE.LCB"), 2);
    EXPECT_EQ(all_messages(), not_found(path) + not_found(path) + not_found(path));
    testsupport::g_messages.clear();
    rec_.log.clear();
    EXPECT_EQ(lcaMM0setup("NONE.LCB", 0), 0x10);
    EXPECT_EQ(writes().size(), 5u);   // the PROGRAM pulse, no bits, no probe, no D/A
    EXPECT_TRUE(testsupport::g_messages.empty());

    // Without a sink the results are the same.
    g_dev.msg_sink = nullptr;
    rec_.script[0x378] = {0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(lcasetup("NONE.LCB"), 2);
    EXPECT_EQ(lcasetup(nullptr), 2);   // no name: the library directory itself, not a file
}

TEST_F(LoaderSequence, ShortFileIsTreatedAsUnreadable)
{
    // A sysfs attribute claims a page but delivers a few bytes: the same as a
    // bitstream that shrinks between taking its length and reading it.
    const char* attr = "/sys/devices/system/cpu/online";
    struct stat st;
    if (stat(attr, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 64)
        GTEST_SKIP() << "no sysfs attribute to read";
    ASSERT_EQ(symlink(attr, dir_.file("SHORT.LCB").c_str()), 0);
    EXPECT_EQ(lcaLPTsetup("SHORT.LCB", 0), 0x10);
    EXPECT_EQ(rec_.writes_to(0x378).back(), 0x02);   // no bit clocked
    EXPECT_TRUE(testsupport::g_messages.empty());
    EXPECT_EQ(lcaMM0setup("SHORT.LCB", 0), 0x10);
    EXPECT_TRUE(testsupport::g_messages.empty());
    rec_.script[0x378] = {0x00, 0x00};
    EXPECT_EQ(lcasetup("SHORT.LCB"), 2);
    EXPECT_EQ(all_messages(), not_found(dir_.path() + "SHORT.LCB"));
}

// ---------------------------------------------------------------- files

TEST(BitstreamFile, OnlyWholeRegularFilesAreRead)
{
    testsupport::TempLibDir dir;
    std::vector<uint8_t> bytes;
    dir.write("OK.LCB", std::string("\x00\x01\xFF", 3));
    EXPECT_EQ(read_bitstream(dir.file("OK.LCB"), &bytes), BitstreamRead::Ok);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0x01, 0xFF}));

    ASSERT_EQ(mkdir(dir.file("DIR.LCB").c_str(), 0755), 0);
    EXPECT_EQ(read_bitstream(dir.file("DIR.LCB"), &bytes), BitstreamRead::Missing);
    EXPECT_TRUE(bytes.empty());
    ASSERT_EQ(mkfifo(dir.file("FIFO.LCB").c_str(), 0644), 0);   // must not wait for a writer
    EXPECT_EQ(read_bitstream(dir.file("FIFO.LCB"), &bytes), BitstreamRead::Missing);
    EXPECT_EQ(read_bitstream(dir.file("NONE.LCB"), &bytes), BitstreamRead::Missing);
    rmdir(dir.file("DIR.LCB").c_str());
}

TEST(BitstreamFile, AFileThatDeliversLessThanItsLengthIsShort)
{
    // sysfs attributes claim a page but deliver a few bytes: the same as a
    // file that shrinks between taking its length and reading it.
    const std::string attr = "/sys/devices/system/cpu/online";
    struct stat st;
    if (stat(attr.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 64)
        GTEST_SKIP() << "no sysfs attribute to read";
    std::vector<uint8_t> bytes;
    EXPECT_EQ(read_bitstream(attr, &bytes), BitstreamRead::Short);
    EXPECT_TRUE(bytes.empty());
}

// ---------------------------------------------------------------- simulated box

class LoaderOnBox : public LibraryTest {
protected:
    void on_box(const std::string& extra, uint8_t io_status = 0x04)
    {
        use_box("port_logic.loaded = yes\n" + extra);
        bring_up(io_status, 40);
    }
    // A copy of a generated bitstream, changed by f, under a new name.
    void variant(const std::string& from, const std::string& to, void (*f)(std::string&))
    {
        std::string s = dir_.read(from);
        ASSERT_GT(s.size(), 100u);
        f(s);
        dir_.write(to, s);
    }
};

TEST_F(LoaderOnBox, LcaSetupLoadsEachBoardDesign)
{
    for (uint8_t mode : {uint8_t(0x04), uint8_t(0xA4)}) {
        on_box("", mode);
        for (const char* name : {"007CA000", "007CA003", "007CA004"}) {
            EXPECT_EQ(lcasetup((std::string(name) + ".LCB").c_str()), 0) << name;
            EXPECT_EQ(box_->main_logic().design(), name);
        }
        // the adjustment design's scratch register answers over the bus
        outbyte(0xA0, 0x5A);
        EXPECT_EQ(inbyte(0xA0), 0x5A);
    }
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(LoaderOnBox, BadBitstreamsLeaveDoneLow)
{
    variant("007CA003.LCB", "FLIPPED.LCB", [](std::string& s) { s[200] ^= 0x01; });
    variant("007CA003.LCB", "HALF.LCB", [](std::string& s) { s.resize(s.size() / 2); });
    variant("007CA003.LCB", "NOSUM.LCB", [](std::string& s) { s.resize(s.size() - 4); });
    dir_.write("EMPTY.LCB", "");
    struct Case {
        const char* file;
        const char* box;
    };
    const Case cases[] = {
        {"FLIPPED.LCB", ""}, {"HALF.LCB", ""}, {"NOSUM.LCB", ""}, {"EMPTY.LCB", ""},
        {"012CA000.LCB", ""},                                 // another device's design
        {"007CA003.LCB", "fault.main_logic_rejects = yes\n"},
    };
    for (const Case& c : cases) {
        on_box(c.box);
        EXPECT_EQ(lcasetup(c.file), 3) << c.file;
        EXPECT_EQ(all_messages(), "ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n") << c.file;
        EXPECT_EQ(box_->main_logic().design(), "") << c.file;
        // left in PROGRAM: a good load afterwards works
        EXPECT_EQ(lcasetup("007CA003.LCB"), c.box[0] == '\0' ? 0 : 3) << c.file;
    }
}

TEST_F(LoaderOnBox, LcaSetupRefusesWhenTheDeviceKeepsDone)
{
    on_box("main_logic.loaded = 007CA004\nfault.main_logic_no_reset = yes\n");
    EXPECT_EQ(lcasetup("007CA003.LCB"), 1);
    EXPECT_EQ(all_messages(), "ERROR: 007LAxxx LCA error, not able to reset device\n");
    EXPECT_EQ(box_->main_logic().design(), "007CA004");
}

TEST_F(LoaderOnBox, FilesAreFoundWhateverTheLetterCase)
{
    on_box("");
    dir_.write("custom.lcb", dir_.read("007CA000.LCB"));
    EXPECT_EQ(lcasetup("007ca004.lcb"), 0);
    EXPECT_EQ(box_->main_logic().design(), "007CA004");
    EXPECT_EQ(lcasetup("CUSTOM.LCB"), 0);
    EXPECT_EQ(box_->main_logic().design(), "007CA000");
    EXPECT_EQ(lcaMM0setup("012ca000.LCB", 0), 8);
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(LoaderOnBox, UnreadableFilesGiveTheFileResult)
{
    on_box("main_logic.loaded = 007CA003\n");
    ASSERT_EQ(mkdir(dir_.file("DIR.LCB").c_str(), 0755), 0);
    const std::string missing = dir_.path() + "NONE.LCB";
    EXPECT_EQ(lcasetup("DIR.LCB"), 2);
    EXPECT_EQ(lcasetup("NONE.LCB"), 2);
    EXPECT_EQ(all_messages(), not_found(dir_.path() + "DIR.LCB") + not_found(missing));
    EXPECT_EQ(box_->main_logic().design(), "");   // PROGRAM went out before the file was opened
    testsupport::g_messages.clear();
    EXPECT_EQ(lcaMM0setup("DIR.LCB", 0), 0x10);
    EXPECT_TRUE(testsupport::g_messages.empty());
    rmdir(dir_.file("DIR.LCB").c_str());
}

TEST_F(LoaderOnBox, Lca013OnlyWhenFitted)
{
    struct Case {
        const char* box;
        const char* file;
        int32_t result;
        const char* message;
        const char* design;   // loaded afterwards
    };
    const Case cases[] = {
        {"logic013.present = yes\n", "013CA000.LCB", 0, "", "013CA000"},
        {"logic013.present = yes\n", "007CA003.LCB", 3, "ERROR: 013LAxxx LCA configuration failed, DONE low\n", ""},
        {"logic013.present = yes\nfault.logic013_rejects = yes\n", "013CA000.LCB", 3,
         "ERROR: 013LAxxx LCA configuration failed, DONE low\n", ""},
        {"logic013.present = yes\nlogic013.loaded = yes\nfault.logic013_no_reset = yes\n", "013CA000.LCB", 1,
         "ERROR: 013LAxxx LCA error, not able to re-configure device, DONE high\n", "013CA000"},
        {"logic013.present = yes\nfault.logic013_init_low = yes\n", "013CA000.LCB", 1,
         "ERROR: 013LAxxx LCA error, not able to re-configure device, /INIT low\n", ""},
        // not fitted: 10h is the P0 latch and reads back the released PROGRAM (00h)
        {"", "013CA000.LCB", 1, "ERROR: 013LAxxx LCA error, not able to re-configure device, /INIT low\n", ""},
    };
    for (const Case& c : cases) {
        on_box(c.box);
        EXPECT_EQ(lcasetup_013(c.file), c.result) << c.box << c.file;
        EXPECT_EQ(all_messages(), c.message) << c.box << c.file;
        EXPECT_EQ(box_->logic013().design(), c.design) << c.box << c.file;
    }
}

TEST_F(LoaderOnBox, CardSetupFindsOnlyALoadedCard)
{
    variant("012CA000.LCB", "CARDBAD.LCB", [](std::string& s) { s[40] ^= 0x10; });
    struct Case {
        const char* box;
        const char* file;
        int lsb_first;
        uint16_t result;
    };
    const Case cases[] = {
        {"", "012CA000.LCB", 0, 8},
        {"expansion.present = no\n", "012CA000.LCB", 0, 0},
        {"fault.expansion_rejects = yes\n", "012CA000.LCB", 0, 0},
        {"", "CARDBAD.LCB", 0, 0},
        {"", "012CA000.LCB", 1, 0},
        {"", "007CA003.LCB", 0, 0},
        {"expansion.loaded = yes\n", "012CA000.LCB", 0, 8},   // reloading a loaded card
    };
    for (const Case& c : cases) {
        on_box(c.box);
        EXPECT_EQ(lcaMM0setup(c.file, c.lsb_first), c.result) << c.box << c.file << c.lsb_first;
        EXPECT_EQ(box_->expansion().loaded(), c.result == 8);
    }
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(LoaderOnBox, LptSetupBringsTheBusUpOnlyWithTheRightStream)
{
    variant("004CA000.LCB", "LPTBAD.LCB", [](std::string& s) { s[300] ^= 0x80; });
    struct Case {
        const char* file;
        int lsb_first;
        uint16_t result;
    };
    const Case cases[] = {{"004CA000.LCB", 0, 8}, {"004CA000.LCB", 1, 0}, {"LPTBAD.LCB", 0, 0}, {"007CA003.LCB", 0, 0}};
    for (const Case& c : cases) {
        use_box("");   // the newer family's default: port-side logic not loaded
        bring_up(0x04, 40);
        EXPECT_EQ(lcaLPTsetup(c.file, c.lsb_first), c.result) << c.file << c.lsb_first;
        EXPECT_EQ(box_->bus_answers(), c.result == 8);
        outbyte(0x10, 0xA5);
        EXPECT_EQ(inbyte(0x10) == 0xA5, c.result == 8) << c.file;
        EXPECT_TRUE(testsupport::g_messages.empty());
    }
    use_box("");
    bring_up(0x04, 40);
    EXPECT_EQ(lcaLPTsetup("NONE.LCB", 0), 0x10);
    EXPECT_EQ(all_messages(), not_found(dir_.path() + "NONE.LCB"));
}

}  // namespace

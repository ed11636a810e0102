// The parameter record: TARVENIX.PAR byte for byte per family, the EEPROM
// copy on the simulated box, the reader's tolerance of damaged files, and a
// writer that never leaves a half-written file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "config/param_file.h"
#include "eeprom_cells.h"
#include "fixture.h"
#include "link/state.h"
#include "sim/eeprom24c02.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

std::string fixture(const std::string& name)
{
    std::string dir(__FILE__);
    dir.resize(dir.rfind('/') + 1);
    std::ifstream in(dir + "fixtures/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

std::string join_lines(const std::vector<std::string>& lines)
{
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

// The values behind both fixture files.
void set_record(uint16_t rev_dev)
{
    g_dev.iolpt = 0x378;
    g_dev.rev_dev = rev_dev;
    g_dev.reserved_0E = 0xBEEF;
    g_dev.UM_1 = 0.25f;
    g_dev.UM_m = 0.75f;
    g_dev.U0_1 = 1.5f;
    g_dev.U0_m = -0.0125f;
    g_dev.U1_1 = 2.5f;
    g_dev.U1_m = 3.5f;
    g_dev.ADx1Zero = 2048.25f;
    g_dev.ADx10Zero = 2047.5f;
    g_dev.ADx100Zero = -3.0f;
    g_dev.ADx1VoltProDigit = 0.0048828125f;
    g_dev.DA0Lc = -10.0f;
    g_dev.DA0VoltProDigit = 0.00488f;
    g_dev.DA1Lc = 10.0f;
    g_dev.DA1VoltProDigit = -0.0048828125f;
}

// Every field the reader fills, to values neither the EEPROM nor the files hold.
void clear_record()
{
    const std::string dir = g_dev.dll_dir;
    const MessageSink sink = g_dev.msg_sink;
    const uint8_t io_status = g_dev.io_status;
    const uint8_t io_wait = g_dev.io_wait;
    const uint16_t iolpt = g_dev.iolpt;
    testsupport::reset_state(dir);
    g_dev.msg_sink = sink;
    g_dev.drv_handle = 1;
    g_dev.io_status = io_status;   // the bus keeps working in its mode
    g_dev.io_wait = io_wait;
    g_dev.iolpt = iolpt;
}

std::vector<std::string> dir_entries(const std::string& dir)
{
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != ".." && n.find(".LCB") == std::string::npos)
                out.push_back(n);
        }
        closedir(d);
    }
    return out;
}

// Files may not grow past `bytes` while this lives: makes the next file
// write fail even for root, whom directory permissions do not stop.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit old_{};
    void (*old_handler_)(int) = SIG_DFL;
};

class ParamFile : public LibraryTest {
protected:
    // A newer box with a blank EEPROM, reached in 8-bit mode.
    void newer_box(const std::string& extra = "")
    {
        use_box("port_logic.loaded = yes\neeprom.contents = blank\n" + extra);
        bring_up(0xA4, 40);
    }
    template <typename T>
    T stored(int offset)
    {
        return testsupport::eeprom_value<T>(*box_, offset);
    }
};

TEST_F(ParamFile, OlderFamilyWritesOnlyTheFileByteForByte)
{
    use_recorder();
    set_record(0x12);
    g_dev.io_status = 0xA4;
    g_dev.io_wait = 40;
    rec_.log.clear();
    EXPECT_EQ(write_parameters(0, 0x1234), 0);
    EXPECT_EQ(dir_.read("TARVENIX.PAR"), fixture("tarvenix_older.par"));
    EXPECT_TRUE(rec_.log.empty());   // no EEPROM on this family
    EXPECT_TRUE(testsupport::g_messages.empty());
    EXPECT_EQ(IsTarvenixParFileWritten(), 1);
}

TEST_F(ParamFile, NewerFamilyStoresTheRecordInTheEepromAndTheFile)
{
    newer_box();
    set_record(0x1001);
    EXPECT_EQ(write_parameters(0, 0x1234), 0);
    EXPECT_EQ(dir_.read("TARVENIX.PAR"), fixture("tarvenix_newer.par"));
    EXPECT_EQ(testsupport::all_messages(), "-> EEProm setup data updated\n");
    EXPECT_EQ(IsTarvenixParFileWritten(), 1);

    EXPECT_EQ(stored<uint16_t>(0x0C), 0);
    EXPECT_EQ(stored<uint16_t>(0x0E), 0xBEEF);
    EXPECT_EQ(stored<uint16_t>(0x10), 0x1001);
    EXPECT_EQ(stored<uint8_t>(0x12), 0xA4);
    EXPECT_EQ(stored<uint8_t>(0x13), 40);   // the real wait state, unlike line 9 of the file
    const float floats[] = {0.25f, 0.75f, 1.5f, -0.0125f, 2.5f, 3.5f};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(stored<float>(0x14 + 4 * i), floats[i]) << i;
    EXPECT_EQ(stored<uint16_t>(0x2C), 0x1234);
    EXPECT_EQ(stored<uint16_t>(0x2E), 0xFFFF);   // gap: never written
    const float cal[] = {2048.25f, 2047.5f, -3.0f, 0.0048828125f, -10.0f, 0.00488f, 10.0f, -0.0048828125f};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(stored<float>(0x30 + 4 * i), cal[i]) << i;
    for (int off : {0x00, 0x0B, 0x50, 0xFC})
        EXPECT_EQ(box_->eeprom().cell(off), 0xFF) << off;
}

TEST_F(ParamFile, VerifyErrorStillWritesTheWholeFileWithTheValuesReadBack)
{
    // DevError's low byte does not write: 0 comes back as 00FFh
    newer_box("fault.eeprom_stuck_cells = 0Ch\n");
    set_record(0x1001);
    EXPECT_EQ(write_parameters(0, 0x1234), 2);
    EXPECT_EQ(testsupport::all_messages(), "ERROR: EEPROM verify error\n");
    const auto lines = split_lines(dir_.read("TARVENIX.PAR"));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[4], " 255 (  FFh) USHORT DevError        Fehlercode Ger\xE4teabgleich");
    EXPECT_EQ(lines[20], "--> FATAL ERROR, Tarvenix not ready");
    EXPECT_EQ(IsTarvenixParFileWritten(), 0);

    // and 3 when the file cannot be written either
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "%s", (dir_.path() + "missing/").c_str());
    EXPECT_EQ(write_parameters(0, 0x1234), 3);
}

TEST_F(ParamFile, NonZeroDevErrorWritesTheFatalLineAndKeepsTheFlag)
{
    use_recorder();
    set_record(0x12);
    g_dev.par_written = 0;
    EXPECT_EQ(write_parameters(0x0120, 0), 0);
    const auto lines = split_lines(dir_.read("TARVENIX.PAR"));
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[4].substr(0, 12), " 288 ( 120h)");
    EXPECT_EQ(lines[20], "--> FATAL ERROR, Tarvenix not ready");
    EXPECT_EQ(IsTarvenixParFileWritten(), 0);
    g_dev.par_written = 1;
    EXPECT_EQ(write_parameters(1, 0), 0);
    EXPECT_EQ(IsTarvenixParFileWritten(), 1);
}

TEST_F(ParamFile, FailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    use_recorder();
    set_record(0x12);
    const std::string old = "old parameters\r\n";
    dir_.write("TARVENIX.PAR", old);
    uint16_t result;
    {
        FileSizeLimit limit(64);
        result = write_parameters(0, 0);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dir_.read("TARVENIX.PAR"), old);
    EXPECT_EQ(dir_entries(dir_.path()), std::vector<std::string>{"TARVENIX.PAR"});
    EXPECT_EQ(IsTarvenixParFileWritten(), 0);
    EXPECT_TRUE(testsupport::g_messages.empty());

    // a good write replaces it and leaves nothing else behind
    EXPECT_EQ(write_parameters(0, 0), 0);
    EXPECT_EQ(split_lines(dir_.read("TARVENIX.PAR")).size(), 21u);
    EXPECT_EQ(dir_entries(dir_.path()), std::vector<std::string>{"TARVENIX.PAR"});
}

TEST_F(ParamFile, BothSpellingsReachOneFile)
{
    use_box("box.family = older\n");
    bring_up(0x04, 40);
    dir_.write("Tarvenix.par", fixture("tarvenix_older.par"));
    EXPECT_EQ(read_parameters(0x378), 0);
    EXPECT_EQ(g_dev.rev_dev, 0x12);
    g_dev.ADx1Zero = 1000.0f;
    EXPECT_EQ(write_parameters(0, 0), 0);
    EXPECT_EQ(dir_entries(dir_.path()), std::vector<std::string>{"Tarvenix.par"});
    EXPECT_NE(dir_.read("Tarvenix.par").find("1000.000000  float ADx1Zero"), std::string::npos);
}

TEST_F(ParamFile, OlderFamilyReadsEveryValueFromTheFile)
{
    use_box("box.family = older\n");
    bring_up(0x04, 40);
    dir_.write("TARVENIX.PAR", fixture("tarvenix_older.par"));
    EXPECT_EQ(read_parameters(0x278), 0);
    EXPECT_EQ(g_dev.iolpt, 0x378);   // line 6 replaces the port given
    EXPECT_EQ(g_dev.rev_dev, 0x12);
    EXPECT_EQ(g_dev.io_status, 0xA4);
    EXPECT_EQ(g_dev.io_wait, 255);
    EXPECT_EQ(g_dev.U0_1, 1.5f);
    EXPECT_EQ(g_dev.U0_m, -0.0125f);
    EXPECT_EQ(g_dev.ADx1Zero, 2048.25f);
    EXPECT_EQ(g_dev.ADx100Zero, -3.0f);
    EXPECT_EQ(g_dev.ADx1VoltProDigit, 0.004883f);   // six decimals in the file
    EXPECT_EQ(g_dev.DA0Lc, -10.0f);
    EXPECT_EQ(g_dev.DA1VoltProDigit, -0.004883f);
    EXPECT_TRUE(testsupport::g_messages.empty());
}

TEST_F(ParamFile, MissingFileIsMinusOneWithItsPath)
{
    use_box("box.family = older\n");
    bring_up(0x04, 40);
    EXPECT_EQ(read_parameters(0x378), -1);
    EXPECT_EQ(testsupport::all_messages(),
              "\n ERROR: Parameter file '" + dir_.path() + "TARVENIX.PAR' could not be opened\n");
}

TEST_F(ParamFile, DeviceCode1000hIsDescribedByItsEepromAlone)
{
    newer_box();
    set_record(0x1000);
    ASSERT_EQ(write_parameters(5, 0x0033), 0);
    std::remove(dir_.file("TARVENIX.PAR").c_str());
    clear_record();
    testsupport::g_messages.clear();
    EXPECT_EQ(read_parameters(0x378), 5);
    EXPECT_TRUE(testsupport::g_messages.empty());
    EXPECT_EQ(g_dev.rev_dev, 0x1000);
    EXPECT_EQ(g_dev.ADx1Zero, 2048.25f);
    EXPECT_EQ(g_dev.U0_1, 1.5f);   // the EEPROM's own value, not the file's 0
    EXPECT_EQ(g_dev.io_wait, 40);
}

// A newer box whose EEPROM holds the record with DevError 0 and ADx1Zero
// 100.0; each case then reads a (damaged) file.
class ParamFileReader : public ParamFile {
protected:
    void SetUp() override
    {
        ParamFile::SetUp();
        newer_box();
        set_record(0x1001);
        g_dev.ADx1Zero = 100.0f;
        ASSERT_EQ(write_parameters(0, 0x1234), 0);
        testsupport::g_messages.clear();
    }
};

TEST_F(ParamFileReader, FileValuesReplaceTheEepromOnes)
{
    dir_.write("TARVENIX.PAR", fixture("tarvenix_newer.par"));
    clear_record();
    EXPECT_EQ(read_parameters(0x378), 0);
    EXPECT_EQ(g_dev.ADx1Zero, 2048.25f);
    // lines 10 and 11 included: 0 and twice the slope, as the writer put them
    EXPECT_EQ(g_dev.U0_1, 0.0f);
    EXPECT_EQ(g_dev.U0_m, -0.025f);
    EXPECT_EQ(g_dev.io_wait, 255);
    EXPECT_EQ(g_dev.UM_1, 0.25f);   // not in the file: the EEPROM's
}

TEST_F(ParamFileReader, DamagedFilesGiveDocumentedValues)
{
    const auto good = split_lines(fixture("tarvenix_newer.par"));
    struct Case {
        const char* name;
        std::function<void(std::vector<std::string>&)> damage;
        int32_t result;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"empty file: everything as in the EEPROM", [](auto& l) { l.clear(); }, 0,
         [] {
             EXPECT_EQ(g_dev.iolpt, 0x378);   // the port given
             EXPECT_EQ(g_dev.rev_dev, 0x1001);
             EXPECT_EQ(g_dev.io_wait, 40);
             EXPECT_EQ(g_dev.ADx1Zero, 100.0f);
             EXPECT_EQ(g_dev.U0_1, 1.5f);
         }},
        {"ends after line 7", [](auto& l) { l.resize(7); l[4] = "   7 (   7h)"; }, 7,
         [] {
             EXPECT_EQ(g_dev.iolpt, 0x378);
             EXPECT_EQ(g_dev.io_wait, 40);
             EXPECT_EQ(g_dev.ADx1Zero, 100.0f);
         }},
        {"last line cut inside its number", [](auto& l) { l.resize(13); l[12] = "20"; }, 0,
         [] {
             EXPECT_EQ(g_dev.ADx1Zero, 20.0f);
             EXPECT_EQ(g_dev.ADx10Zero, 2047.5f);   // from the EEPROM
         }},
        {"hexadecimal DevError", [](auto& l) { l[4] = "0x1F"; }, 31, [] {}},
        {"octal DevError", [](auto& l) { l[4] = "010 (8h)"; }, 8, [] {}},
        {"word and byte fields keep their low bits",
         [](auto& l) { l[5] = "70000"; l[7] = "420"; l[8] = "511"; }, 0,
         [] {
             EXPECT_EQ(g_dev.iolpt, 70000 & 0xFFFF);
             EXPECT_EQ(g_dev.io_status, 420 & 0xFF);
             EXPECT_EQ(g_dev.io_wait, 0xFF);
         }},
        {"lines without a number keep their field",
         [](auto& l) { l[4] = "DevError unknown"; l[12] = "abc"; l[6] = ""; }, 0,
         [] {
             EXPECT_EQ(g_dev.ADx1Zero, 100.0f);
             EXPECT_EQ(g_dev.rev_dev, 0x1001);
             EXPECT_EQ(g_dev.ADx10Zero, 2047.5f);
         }},
        {"an overlong line is split and shifts the rest",
         [](auto& l) { l[3] = std::string(120, '*'); l[4] = "   7 (   7h)"; l[6] = " 164"; }, 0,
         [] {
             // the rest of line 4 stands in DevError's place; each value moves one field on
             EXPECT_EQ(g_dev.iolpt, 7);
             EXPECT_EQ(g_dev.rev_dev, 0x378);
             EXPECT_EQ(g_dev.io_status, 164);
             EXPECT_EQ(g_dev.io_wait, 164);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto lines = good;
        c.damage(lines);
        dir_.write("TARVENIX.PAR", join_lines(lines));
        g_dev.iolpt = 0x378;
        g_dev.io_status = 0xA4;
        clear_record();
        g_dev.iolpt = 0;
        EXPECT_EQ(read_parameters(0x378), c.result);
        c.check();
        EXPECT_TRUE(testsupport::g_messages.empty());
    }
}

}  // namespace

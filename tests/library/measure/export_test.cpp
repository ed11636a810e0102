// Copy of the parameter, per-port and bitstream files into another program's
// directory: the file set per port, replacement, the result and the error box.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fixture.h"
#include "host_hooks.h"
#include "link/state.h"
#include "tarvenix.h"

using testsupport::LibraryTest;
using testsupport::TempLibDir;

namespace {

// error boxes as the host program's hook received them
auto& g_boxes = testsupport::g_host.error_boxes;

const char* const kFixed[] = {"004ca000.lcb", "007ca000.lcb", "007ca003.lcb",
                              "007ca004.lcb", "012ca000.lcb", "Tarvenix.par"};

class DiademExport : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        g_boxes.clear();
        // the library's own spelling of its files is upper case
        dir_.write("TARVENIX.PAR", "parameters\n");
        dir_.write("AD.378", "stamp 378\n");
        dir_.write("AD.3BC", "stamp 3BC\n");
    }
    std::vector<std::string> files_in(const TempLibDir& d) const
    {
        std::vector<std::string> out;
        for (const char* name : {"AD.378", "AD.3BC", "AD.278"})
            if (d.exists(name))
                out.emplace_back(name);
        for (const char* name : kFixed)
            if (d.exists(name))
                out.emplace_back(name);
        return out;
    }
    TempLibDir target_;
};

TEST_F(DiademExport, FileSetFollowsThePortOfTheBox)
{
    struct Case {
        uint16_t iolpt;
        const char* port_file;
    };
    const Case cases[] = {{0x378, "AD.378"}, {0x3BC, "AD.3BC"}, {0xFFFF, nullptr}, {0x2F8, nullptr}};
    for (const Case& c : cases) {
        TempLibDir target;
        g_dev.iolpt = c.iolpt;
        EXPECT_EQ(CopyParaAndLcbFiles2DiademDir((target.path() + "Tarvenix.par").c_str()), 1);
        std::vector<std::string> want;
        if (c.port_file != nullptr)
            want.emplace_back(c.port_file);
        want.insert(want.end(), std::begin(kFixed), std::end(kFixed));
        EXPECT_EQ(files_in(target), want) << std::hex << c.iolpt;
        EXPECT_EQ(target.read("Tarvenix.par"), "parameters\n");
        EXPECT_EQ(target.read("007ca003.lcb"), dir_.read("007CA003.LCB"));
        if (c.port_file != nullptr) {
            EXPECT_EQ(target.read(c.port_file), dir_.read(c.port_file));
        }
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DiademExport, OnlyTheDirectoryPartOfTheTargetCountsAndOldFilesAreReplaced)
{
    target_.write("Tarvenix.par", "old parameters, longer than the new ones\n");
    target_.write("004ca000.lcb", "old");
    g_dev.iolpt = 0x378;
    EXPECT_EQ(CopyParaAndLcbFiles2DiademDir((target_.path() + "whatever.name").c_str()), 1);
    EXPECT_EQ(target_.read("Tarvenix.par"), "parameters\n");
    EXPECT_EQ(target_.read("004ca000.lcb"), dir_.read("004CA000.LCB"));
    EXPECT_FALSE(target_.exists("whatever.name"));
}

TEST_F(DiademExport, TargetWithoutSlashIsThePrefixOfEveryName)
{
    g_dev.iolpt = kNoBox;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(target_.path().c_str()), 0);   // names without a directory land here
    const int32_t r = CopyParaAndLcbFiles2DiademDir("X");
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(target_.exists("XTarvenix.par"));
    EXPECT_TRUE(target_.exists("X004ca000.lcb"));
}

TEST_F(DiademExport, MissingBitstreamsAndPortFileDoNotMatter)
{
    unlink(dir_.file("012CA000.LCB").c_str());
    g_dev.iolpt = 0x278;   // no AD.278 in the library's directory
    EXPECT_EQ(CopyParaAndLcbFiles2DiademDir((target_.path() + "Tarvenix.par").c_str()), 1);
    EXPECT_FALSE(target_.exists("012ca000.lcb"));
    EXPECT_FALSE(target_.exists("AD.278"));
    EXPECT_TRUE(target_.exists("Tarvenix.par"));
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DiademExport, FailedParameterCopyShowsOneErrorBoxWithTheSystemText)
{
    // no parameter file: the other copies stay
    unlink(dir_.file("TARVENIX.PAR").c_str());
    g_dev.iolpt = 0x378;
    EXPECT_EQ(CopyParaAndLcbFiles2DiademDir((target_.path() + "Tarvenix.par").c_str()), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].first, "Error");
    EXPECT_EQ(g_boxes[0].second, "No such file or directory");
    EXPECT_TRUE(target_.exists("AD.378"));
    EXPECT_TRUE(target_.exists("012ca000.lcb"));

    // a target directory that does not exist: every copy fails, one box
    dir_.write("TARVENIX.PAR", "parameters\n");
    g_boxes.clear();
    EXPECT_EQ(CopyParaAndLcbFiles2DiademDir((target_.path() + "missing/Tarvenix.par").c_str()), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].second, "No such file or directory");
}

TEST_F(DiademExport, TargetsOf260CharactersOrMoreAreRejected)
{
    g_dev.iolpt = 0x378;
    // 259 characters still fit a path buffer, but the names appended do not
    std::string dir = target_.path();
    while (dir.size() < 250)
        dir += "d";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    dir += "/";
    const std::string fits = dir + std::string(259 - dir.size(), 'n');
    EXPECT_EQ(CopyParaAndLcbFiles2DiademDir(fits.c_str()), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].second, "File name too long");
    EXPECT_EQ(access((dir + "AD.378").c_str(), F_OK), 0);   // the one name short enough
    unlink((dir + "AD.378").c_str());

    for (size_t len : {260u, 261u, 5000u}) {
        g_boxes.clear();
        const std::string target = target_.path() + std::string(len - target_.path().size(), 'x');
        EXPECT_EQ(CopyParaAndLcbFiles2DiademDir(target.c_str()), 0) << len;
        EXPECT_EQ(g_boxes.size(), 1u);
    }
    EXPECT_EQ(files_in(target_), std::vector<std::string>{});
    EXPECT_EQ(rmdir(dir.c_str()), 0);
}

}  // namespace

// Registration, the small queries and the library directory.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <cstring>

#include "fixture.h"
#include "host_hooks.h"
#include "link/port.h"
#include "link/state.h"
#include "tarvenix.h"

using testsupport::all_messages;
using testsupport::g_host;
using testsupport::LibraryTest;

namespace {

class Frame : public LibraryTest {};

TEST_F(Frame, StateAtLoadCountsAsInitialisedUntilRegistration)
{
    // iolpt is 0 at load, which is not FFFFh
    EXPECT_EQ(IsTarvenixInitialized(), 1);
    use_box("box.family = older\n");
    EXPECT_EQ(IsTarvenixInitialized(), 0);
    EXPECT_EQ(g_dev.iolpt, 0xFFFF);
}

TEST_F(Frame, RegistrationReportsThroughTheSinkAndResetsState)
{
    port_set_backend_override(&rec_);
    g_dev.iolpt = 0x378;
    g_dev.par_written = 1;
    EXPECT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
    EXPECT_EQ(all_messages(), "\n The driver for hardware access was loaded successfully.\n");
    EXPECT_EQ(g_dev.iolpt, 0xFFFF);
    EXPECT_EQ(IsTarvenixParFileWritten(), 0);

    // without a sink (null or the Vb entry) nothing is delivered
    testsupport::g_messages.clear();
    EXPECT_EQ(enableDLLmessages_PortwardInit(nullptr), 1);
    EXPECT_EQ(enableDLLmessages_PortwardInitVb(), 1);
    EXPECT_TRUE(testsupport::g_messages.empty());
    EXPECT_EQ(g_dev.msg_sink, nullptr);
}

TEST_F(Frame, DriverFailureGivesFatalMessageAndExclamationBeep)
{
    setenv("TARVENIX_BACKEND", "no-such-backend", 1);
    EXPECT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 0);
    EXPECT_EQ(all_messages(), "\n FATAL ERROR: The driver for hardware access could not be loaded.\n");
    EXPECT_EQ(g_host.beeps, std::vector<int>{0});
    // the Vb entry stays silent but still beeps
    testsupport::g_messages.clear();
    EXPECT_EQ(enableDLLmessages_PortwardInitVb(), 0);
    EXPECT_TRUE(testsupport::g_messages.empty());
    EXPECT_EQ(g_host.beeps.size(), 2u);
    unsetenv("TARVENIX_BACKEND");
}

TEST_F(Frame, SimBackendFromTheEnvironmentAndBadBoxFile)
{
    port_set_backend_override(nullptr);
    setenv("TARVENIX_BACKEND", "sim", 1);
    dir_.write("bad.box", "adc.nonsense = 3\n");
    setenv("TARVENIX_SIM_BOX", dir_.file("bad.box").c_str(), 1);
    EXPECT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 0);
    dir_.write("good.box", "box.family = older\n");
    setenv("TARVENIX_SIM_BOX", dir_.file("good.box").c_str(), 1);
    EXPECT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
    unsetenv("TARVENIX_SIM_BOX");
    unsetenv("TARVENIX_BACKEND");
}

TEST_F(Frame, DllDirNeedsRoomForItsTerminatingZero)
{
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "/opt/box/");
    const int len = static_cast<int>(std::strlen(g_dev.dll_dir));
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetTarvenixDllDir(buf, len), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(GetTarvenixDllDir(nullptr, 64), 0);
    EXPECT_EQ(GetTarvenixDllDir(buf, -5), 0);
    EXPECT_EQ(GetTarvenixDllDir(buf, len + 1), 1);
    EXPECT_STREQ(buf, "/opt/box/");
}

TEST_F(Frame, TraceFileGetsOneLinePerAccess)
{
    const std::string trace = dir_.file("trace.txt");
    setenv("TARVENIX_TRACE", trace.c_str(), 1);
    use_box("box.family = older\n");
    unsetenv("TARVENIX_TRACE");
    g_dev.iolpt = 0x378;
    g_dev.io_status = 0x04;
    outbyte(0x13, 0x5A);
    driver_close();   // flushes and closes the trace
    const std::string text = dir_.read("trace.txt");
    // six writes: address, strobe, release, value, strobe, release
    EXPECT_NE(text.find(" W 378 13\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" W 37A 0C\n"), std::string::npos);
    EXPECT_NE(text.find(" W 378 5A\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

int open_descriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr)
            ++n;
        closedir(d);
    }
    return n;
}

TEST_F(Frame, RepeatedRegistrationKeepsOneTraceFileOpen)
{
    setenv("TARVENIX_TRACE", dir_.file("trace.txt").c_str(), 1);
    use_box("box.family = older\n");
    const int after_first = open_descriptors();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
    unsetenv("TARVENIX_TRACE");
    EXPECT_EQ(open_descriptors(), after_first);
}

}  // namespace

#include "fixture.h"
#include "host_hooks.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "link/backend_sim.h"
#include "link/bus.h"
#include "sim/box_control.h"
#include "tarvenix.h"

namespace testsupport {

std::vector<std::string> g_messages;

void collect(const char* text)
{
    g_messages.emplace_back(text);
}

std::string all_messages()
{
    std::string s;
    for (const auto& m : g_messages)
        s += m;
    return s;
}

std::string build_bin_dir()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    buf[n] = '\0';
    std::string p(buf);
    return p.substr(0, p.rfind('/') + 1);
}

TempLibDir::TempLibDir()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tarvenix-test-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr)
        std::abort();
    path_ = templ + "/";
    const std::string bin = build_bin_dir();
    if (DIR* d = opendir(bin.c_str())) {
        while (dirent* e = readdir(d)) {
            const size_t len = std::strlen(e->d_name);
            if (len > 4 && strcasecmp(e->d_name + len - 4, ".LCB") == 0)
                (void)symlink((bin + e->d_name).c_str(), (path_ + e->d_name).c_str());
        }
        closedir(d);
    }
}

TempLibDir::~TempLibDir()
{
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                unlink((path_ + e->d_name).c_str());
        closedir(d);
    }
    rmdir(path_.c_str());
}

std::string TempLibDir::read(const std::string& name) const
{
    std::ifstream in(path_ + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void TempLibDir::write(const std::string& name, const std::string& content) const
{
    std::ofstream out(path_ + name, std::ios::binary | std::ios::trunc);
    out << content;
}

bool TempLibDir::exists(const std::string& name) const
{
    return access((path_ + name).c_str(), F_OK) == 0;
}

void reset_state(const std::string& dir)
{
    g_dev = DeviceState{};
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "%s", dir.c_str());
}

std::unique_ptr<tvsim::Box> make_box(const std::string& box_text)
{
    std::string error;
    auto box = tvsim::Box::from_text(box_text, &error);
    EXPECT_TRUE(box != nullptr) << error;
    return box;
}

void LibraryTest::SetUp()
{
    driver_close();
    port_set_backend_override(nullptr);
    sim_attach_box(nullptr);
    reset_state(dir_.path());
    g_messages.clear();
    g_host.clear();
}

void LibraryTest::TearDown()
{
    driver_close();
    port_set_backend_override(nullptr);
    sim_attach_box(nullptr);
}

void LibraryTest::use_box(const std::string& box_text)
{
    box_ = make_box(box_text);
    ASSERT_TRUE(box_ != nullptr);
    sim_attach_box(box_.get());
    port_set_backend_override(sim_backend());
    ASSERT_EQ(enableDLLmessages_PortwardInit(collect), 1);
    g_messages.clear();
}

void LibraryTest::bring_up(uint8_t io_status, uint8_t io_wait)
{
    g_dev.iolpt = box_->box_base();
    g_dev.rev_dev = box_->newer_family() ? 0x1000 : box_->control().device_code();
    g_dev.io_status = io_status;
    g_dev.io_wait = io_wait;
    announce_mode();
}

void LibraryTest::use_recorder_at(uint8_t io_status, uint8_t io_wait)
{
    use_recorder();
    g_dev.iolpt = 0x378;
    g_dev.io_status = io_status;
    g_dev.io_wait = io_wait;
    rec_.log.clear();
}

void LibraryTest::use_recorder()
{
    port_set_backend_override(&rec_);
    ASSERT_EQ(enableDLLmessages_PortwardInit(collect), 1);
    g_messages.clear();
}

}  // namespace testsupport

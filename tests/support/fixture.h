// Shared test fixtures: a fresh library state, a private library directory
// holding the generated bitstream files, a message sink that collects every
// text, and the simulated box or a recording port behind port access.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/port.h"
#include "link/state.h"
#include "recording_port.h"
#include "sim/box.h"

namespace testsupport {

// Every text the library sent since the last clear.
extern std::vector<std::string> g_messages;
void collect(const char* text);
std::string all_messages();

// The directory of the test binaries, where the build placed the bitstreams.
std::string build_bin_dir();
// A fresh directory with links to the bitstream files; removed on destruction.
class TempLibDir {
public:
    TempLibDir();
    ~TempLibDir();
    const std::string& path() const { return path_; }   // ends with '/'
    std::string file(const std::string& name) const { return path_ + name; }
    std::string read(const std::string& name) const;
    void write(const std::string& name, const std::string& content) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
};

// DeviceState as at load, with dll_dir pointing to dir.
void reset_state(const std::string& dir);

std::unique_ptr<tvsim::Box> make_box(const std::string& box_text);

// Library state fresh, a private directory, messages collected.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Registers the library with the collecting sink on this box (sim backend).
    void use_box(const std::string& box_text);
    // Registers the library on a recording port instead.
    void use_recorder();
    // The recorder as the port at 378h with the given mode and wait state,
    // its log emptied.
    void use_recorder_at(uint8_t io_status, uint8_t io_wait);
    // Points the link at the box's port with the given mode and wait state and
    // announces the mode; the box must answer already (older family, or
    // port_logic.loaded = yes, or the port-side logic loaded by the test).
    void bring_up(uint8_t io_status = 0x04, uint8_t io_wait = 40);
    TempLibDir dir_;
    std::unique_ptr<tvsim::Box> box_;
    RecordingPort rec_;
};

}  // namespace testsupport

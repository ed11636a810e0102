#include "eeprom24c02.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "box.h"

namespace tvsim {

namespace {
constexpr uint8_t kLineReg = 0x02;
constexpr uint8_t kDataInReg = 0x12;
constexpr uint8_t kPullDataLow = 0x80;
constexpr uint8_t kPullClockLow = 0x40;
constexpr uint8_t kDataInBit = 0x02;

constexpr uint8_t kDeviceType = 0xA0;     // 1010b in the high nibble, select pins A2..A0 low
constexpr uint8_t kPageMask = 0x07;       // 8-byte write page

// Creates every missing directory of path's parent.
void make_parent_dirs(const std::string& path)
{
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1))
        mkdir(path.substr(0, pos).c_str(), 0755);
}
}  // namespace

// ---------------------------------------------------------------- line level

void TwoWireDecoder::set_lines(bool clock, bool data)
{
    // Both lines may change in one register write. The clock is taken to fall
    // before and to rise after the data change, so that such a write is never
    // seen as a start or stop.
    if (!clock && clock_) {
        clock_ = false;
        clock_falls();
    }
    controller_data_ = data;
    update_data();
    if (clock && !clock_) {
        clock_ = true;
        clock_rises();
    }
}

void TwoWireDecoder::update_data()
{
    const bool was = data_;
    data_ = controller_data_ && !device_low_;
    if (!clock_ || was == data_)
        return;
    if (!data_) {
        // start (or repeated start): the device lets go and listens for its address
        device_low_ = false;
        state_ = State::Address;
        bits_ = 0;
        shift_ = 0;
        target_.start_condition();
    } else {
        device_low_ = false;
        state_ = State::Idle;
        target_.stop_condition();
    }
}

void TwoWireDecoder::clock_rises()
{
    switch (state_) {
    case State::Address:
    case State::Receive:
        if (bits_ < 8) {
            shift_ = static_cast<uint8_t>((shift_ << 1) | (data_ ? 1 : 0));
            ++bits_;
        }
        break;
    case State::Transmit:
        ++bits_;
        break;
    case State::AckIn:
        controller_acked_ = !data_;
        break;
    default:
        break;
    }
}

void TwoWireDecoder::drive_next_bit()
{
    device_low_ = (shift_ & (0x80 >> bits_)) == 0;
}

void TwoWireDecoder::clock_falls()
{
    switch (state_) {
    case State::Address:
    case State::Receive:
        if (bits_ == 8) {
            const bool address = state_ == State::Address;
            const bool ack = address ? target_.select(shift_) : target_.receive(shift_);
            if (ack) {
                after_ack_ = address && (shift_ & 0x01) ? State::Transmit : State::Receive;
                device_low_ = true;
                state_ = State::AckOut;
            } else {
                state_ = State::Ignore;
            }
        }
        break;
    case State::AckOut:
        device_low_ = false;
        bits_ = 0;
        shift_ = 0;
        state_ = after_ack_;
        if (state_ == State::Transmit) {
            shift_ = target_.transmit();
            drive_next_bit();
        }
        break;
    case State::Transmit:
        if (bits_ == 8) {
            device_low_ = false;   // released for the controller's acknowledge
            state_ = State::AckIn;
        } else {
            drive_next_bit();
        }
        break;
    case State::AckIn:
        if (controller_acked_) {
            bits_ = 0;
            shift_ = target_.transmit();
            drive_next_bit();
            state_ = State::Transmit;
        } else {
            state_ = State::Ignore;
        }
        break;
    default:
        break;
    }
    update_data();
}

// ------------------------------------------------------------------- the chip

bool At24c02Core::busy() const
{
    return box_.now_ns() < busy_until_;
}

void At24c02Core::start_condition()
{
    // A start before the stop abandons a latched page: only a stop writes.
    page_.clear();
    word_address_next_ = false;
}

void At24c02Core::stop_condition()
{
    word_address_next_ = false;
    if (page_.empty())
        return;
    for (const auto& [cell, value] : page_)
        if (stuck.count(cell) == 0)
            memory[cell] = value;
    page_.clear();
    ++writes_;
    busy_until_ = box_.now_ns() + write_cycle_ns_;
    if (on_commit)
        on_commit();
}

bool At24c02Core::select(uint8_t address_byte)
{
    // During the write cycle the chip does not acknowledge its address.
    if ((address_byte & 0xFE) != kDeviceType || busy())
        return false;
    word_address_next_ = (address_byte & 0x01) == 0;
    return true;
}

bool At24c02Core::receive(uint8_t byte)
{
    if (word_address_next_) {
        pointer_ = byte;
        word_address_next_ = false;
        return true;
    }
    auto latched = std::find_if(page_.begin(), page_.end(), [&](const auto& e) { return e.first == pointer_; });
    if (latched != page_.end())
        latched->second = byte;
    else
        page_.emplace_back(pointer_, byte);
    // the pointer rolls over inside the 8-byte page while writing
    pointer_ = static_cast<uint8_t>((pointer_ & ~kPageMask) | ((pointer_ + 1) & kPageMask));
    return true;
}

uint8_t At24c02Core::transmit()
{
    const uint8_t v = memory[pointer_];
    pointer_ = static_cast<uint8_t>(pointer_ + 1);
    return v;
}

// ------------------------------------------------------------------ the block

std::string Eeprom24c02::default_image_path()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/tarvenix/eeprom.bin";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/tarvenix/eeprom.bin";
    return "";
}

Eeprom24c02::Eeprom24c02(Box& box, BoxFile& cfg)
    : core_(box, static_cast<uint64_t>(cfg.integer("eeprom.write_cycle_us", 5000)) * 1000u)
{
    present_ = box.newer_family();
    image_path_ = cfg.path("eeprom.image", "");
    const bool programmed = cfg.choice("eeprom.contents", {"blank", "programmed"}, 1) == 1;
    const auto device_class = static_cast<uint16_t>(cfg.integer("eeprom.device_class", 0x1000));
    const auto id007 = static_cast<uint16_t>(cfg.integer("eeprom.id007", 0x7003));
    const auto ref_voltage = static_cast<float>(cfg.number("eeprom.ref_voltage", 4.591));
    const auto serial = static_cast<uint32_t>(cfg.integer("eeprom.serial", 1));

    std::istringstream cells(cfg.text("fault.eeprom_stuck_cells", ""));
    std::string item;
    while (std::getline(cells, item, ',')) {
        if (item.find_first_not_of(" \t") == std::string::npos)
            continue;
        bool ok = false;
        const long c = parse_integer(item, &ok);
        if (!ok || c < 0 || c > 0xFF)
            cfg.error("fault.eeprom_stuck_cells", "'" + item + "' is not a cell 0..FFh");
        else
            core_.stuck.insert(static_cast<uint8_t>(c));
    }

    core_.memory.fill(0xFF);
    if (programmed) {
        // the chip holds the library's variables byte for byte: little-endian, IEEE float
        std::memcpy(&core_.memory[0x00], &device_class, 2);
        std::memcpy(&core_.memory[0x02], &id007, 2);
        std::memcpy(&core_.memory[0x04], &ref_voltage, 4);
        std::memcpy(&core_.memory[0x08], &serial, 4);
    }
    if (!image_path_.empty()) {
        std::ifstream in(image_path_, std::ios::binary);
        if (in) {
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (bytes.size() == core_.memory.size())
                std::memcpy(core_.memory.data(), bytes.data(), bytes.size());
            else
                cfg.error("eeprom.image", image_path_ + " holds " + std::to_string(bytes.size()) +
                                              " bytes, not 256");
        }
    }
    core_.on_commit = [this] { save_image(); };

    if (present_)
        box.map(kLineReg, kLineReg, this);
    // Without the chip the data input still reads its pull-up: high.
    box.map(kDataInReg, kDataInReg, this);
}

void Eeprom24c02::write(uint8_t reg, uint8_t value)
{
    if (reg == kLineReg && present_)
        decoder_.set_lines((value & kPullClockLow) == 0, (value & kPullDataLow) == 0);
}

uint8_t Eeprom24c02::read(uint8_t reg, uint8_t v)
{
    if (reg != kDataInReg)
        return v;
    const bool high = !present_ || decoder_.data_line();
    return high ? static_cast<uint8_t>(v | kDataInBit) : v;
}

void Eeprom24c02::save_image()
{
    if (image_path_.empty())
        return;
    // whole or not at all: a temporary file beside the image, then rename
    make_parent_dirs(image_path_);
    const std::string tmp = image_path_ + ".tmp" + std::to_string(getpid());
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (f == nullptr)
        return;   // unwritable place: the image lives on in memory only
    const bool ok = std::fwrite(core_.memory.data(), 1, core_.memory.size(), f) == core_.memory.size();
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), image_path_.c_str()) != 0)
        std::remove(tmp.c_str());
}

}  // namespace tvsim

// Bringing a box into service from stored parameters, releasing it, and the
// per-port time stamps that tie a parameter set to its box.
#pragma once
#include <cstdint>

// Status of one port's initialisation; bits 0-6 mean failure.
namespace init_status {
constexpr uint8_t kOk = 0x00;
constexpr uint8_t kNoBox = 0x01;
constexpr uint8_t kMainLogic = 0x02;
constexpr uint8_t kParameters = 0x20;
constexpr uint8_t kTimeStamp = 0x40;
constexpr uint8_t kCardFound = 0x80;
constexpr uint8_t kFailureBits = 0x7F;
}  // namespace init_status

uint8_t init_at_port(uint16_t port, const char* lpt_file, const char* main_file, const char* card_file);
void release_outputs();
// 0 written; bit 0 file not written; bit 1 EEPROM verify error.
int write_time_stamp(const char* base);
// 0 valid, 1 file missing, 2 values differ.
int check_time_stamp(uint16_t port, const char* base);
// dll_dir + base + ".378"/".3BC"/".278" by port (no extension for other ports).
void time_stamp_path(char* out, int size, uint16_t port, const char* base);

// The automatic setup: find the box, settle its reference voltage, adjust
// the converters, report, store the parameter record and the time stamp.
// AutoSetup itself is an export (tarvenix.h).
#pragma once
#include <cstdint>

constexpr float kDefaultRefVolts = 4.591f;   // boxes without EEPROM and no value given

// Transient sampling: the box converts a list of inputs at a fixed interval
// (clocked by counter 2 of the reference timer block, 1 count = 1 us) while
// the library follows its 4-bit sample counter, keeps a ring of samples and
// waits for a trigger on one entry of the list.
#pragma once
#include <cstdint>

#include "tarvenix.h"

constexpr uint32_t kTesRingSize = 0x6000;      // samples in the caller's ring (24576)
constexpr uint16_t kTesMaxEntries = 24;        // entries of a ChannelList
constexpr uint16_t kTesAdTimeout = 0xFFFF;     // no new sample within `interval` status reads
constexpr uint16_t kTesNoTrigger = 0xFFFE;     // no trigger within the trigger timeout
// The lost-sample count stops here: more events must neither wrap to 0
// ("none lost") nor read as one of the two status values above.
constexpr uint16_t kTesMaxLost = 0xFFFD;
// A call outside the limits (null pointer, N of 0 or above 24, gain register
// other than E0h-E2h, pre x N or count x N not below 24576, trigger entry or
// trigger index outside list or ring) touches no register and no array and
// answers as an A/D timeout: nothing was recorded.
constexpr uint16_t kTesRejected = kTesAdTimeout;

constexpr uint8_t kTesFalling = 0;
constexpr uint8_t kTesRising = 1;
constexpr uint8_t kTesImmediate = 2;

// True when the list has 1-24 entries, each on gain register E0h-E2h, and
// pre x N stays inside the ring.
bool tes_list_valid(const uint16_t* list, uint16_t pre);

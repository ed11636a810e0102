// The library's one process-wide record. Zero at load; every other unit
// reads and writes it as it stands (no locking: one thread at a time).
#pragma once
#include <cstdint>
#include "tarvenix.h"

constexpr uint16_t kNoBox = 0xFFFF;          // iolpt when no box is initialised
constexpr int kDirCapacity = 260;            // capacity of dll_dir, terminating zero included

struct DeviceState {
    uint16_t iolpt;          // port base, FFFFh = no box
    uint16_t rev_dev;        // device code: 11h/12h older family, >= 1000h with EEPROM
    uint8_t io_status;       // control image + mode flags: 04h nibble, A4h 8-bit
    uint8_t io_wait;         // iterations of the read busy-wait
    MessageSink msg_sink;    // null: no texts delivered
    char dll_dir[kDirCapacity]; // library directory, ends with '/'
    int32_t par_written;     // 1 after the parameter file was written since registration
    int32_t drv_is_nt;       // kept for the record layout; always 1 here (per-port grants)
    intptr_t drv_handle;     // non-zero while port access is open
    uint16_t reserved_0E;    // carried word at EEPROM 0Eh
    float UM_1, UM_m;
    float U0_1, U0_m, U1_1, U1_m;
    uint16_t R_UM_2V5, R_UM_10V;
    float ADx1Zero, ADx10Zero, ADx100Zero;
    float ADx1VoltProDigit;
    float DA0Lc, DA1Lc;
    float DA0VoltProDigit, DA1VoltProDigit;
};

extern DeviceState g_dev;

// The strobe protocol to the box's register space over the parallel port,
// and the short fixed sequences built on it.
#pragma once
#include <cstdint>

#include "tarvenix.h"

void port_reset();
void port_idle();
void announce_mode();
void set_irq_bit(int flag);
void box_reset_pulse();
void set_test_line(int on);
int ack_is_low();
int link_test();
void outbyte_word(uint8_t control_reg, uint8_t control_value, uint8_t data_reg, uint16_t value);
uint8_t inbyte_mask(uint8_t address, uint8_t mask);

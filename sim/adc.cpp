#include "adc.h"

#include "box.h"

namespace tvsim {

Adc::Adc(Box&, BoxFile&) {}

uint16_t Adc::sample(uint8_t, uint8_t)
{
    return 0x800;
}

}  // namespace tvsim

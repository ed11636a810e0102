#include "dac.h"

#include "box.h"

namespace tvsim {

Dac::Dac(Box&, BoxFile&) {}

double Dac::ao_volts(int) const
{
    return 0.0;
}

}  // namespace tvsim

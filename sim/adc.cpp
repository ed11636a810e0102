#include "adc.h"

#include "box.h"

namespace tvsim {

Adc::Adc(Box&, BoxFile&) {}

}  // namespace tvsim

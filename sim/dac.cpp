#include "dac.h"

#include "box.h"

namespace tvsim {

Dac::Dac(Box&, BoxFile&) {}

}  // namespace tvsim

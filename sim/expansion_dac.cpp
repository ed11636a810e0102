#include "expansion_dac.h"

#include "box.h"

namespace tvsim {

ExpansionDac::ExpansionDac(Box&, BoxFile&) {}

}  // namespace tvsim

#include "expansion_ports.h"

#include "box.h"

namespace tvsim {

ExpansionPorts::ExpansionPorts(Box&, BoxFile&) {}

}  // namespace tvsim

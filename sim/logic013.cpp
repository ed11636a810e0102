#include "logic013.h"

#include "box.h"

namespace tvsim {

Logic013::Logic013(Box&, BoxFile&) {}

}  // namespace tvsim

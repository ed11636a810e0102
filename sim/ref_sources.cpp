#include "ref_sources.h"

#include "box.h"

namespace tvsim {

RefSources::RefSources(Box&, BoxFile&) {}

}  // namespace tvsim

#include "sampler.h"

#include "box.h"

namespace tvsim {

Sampler::Sampler(Box&, BoxFile&) {}

}  // namespace tvsim

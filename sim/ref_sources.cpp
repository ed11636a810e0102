#include "ref_sources.h"

#include "box.h"

namespace tvsim {

RefSources::RefSources(Box&, BoxFile&) {}

uint16_t RefSources::count(int) const
{
    return 0;
}

int RefSources::mode(int) const
{
    return 0;
}

}  // namespace tvsim

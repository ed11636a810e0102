#include "expansion_card.h"

#include "box.h"

namespace tvsim {

ExpansionCard::ExpansionCard(Box&, BoxFile&) {}

}  // namespace tvsim

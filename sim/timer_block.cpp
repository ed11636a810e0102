#include "timer_block.h"

#include "box.h"

namespace tvsim {

TimerBlock::TimerBlock(Box&, BoxFile&) {}

}  // namespace tvsim

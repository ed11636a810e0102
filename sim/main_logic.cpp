#include "main_logic.h"

#include "box.h"

namespace tvsim {

MainLogic::MainLogic(Box&, BoxFile&) {}

}  // namespace tvsim

#include "eeprom24c02.h"

#include "box.h"

namespace tvsim {

Eeprom24c02::Eeprom24c02(Box&, BoxFile&) {}

}  // namespace tvsim

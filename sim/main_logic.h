// Logic device of board 007: PROGRAM, serial load through register 12h, DONE.
#pragma once
#include <cstdint>
#include <string>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class MainLogic : public Block {
public:
    MainLogic(Box& box, BoxFile& cfg);
    // Name of the loaded design ("007CA003" ...) while DONE is high, else empty.
    const std::string& design() const { return design_; }

private:
    std::string design_;
};

}  // namespace tvsim

// Writes the bitstream files of the simulated box's logic devices into the
// directory given as the only argument. Our own designs in our own format
// (see sim/bitstream.h); sizes resemble those of small logic devices.
#include <cstdio>
#include <string>

#include "bitstream.h"

namespace {
struct Design {
    const char* file;
    const char* name;
    uint32_t payload;
};
constexpr Design kDesigns[] = {
    {"004CA000.LCB", "004CA000", 2200},
    {"007CA000.LCB", "007CA000", 6000},
    {"007CA003.LCB", "007CA003", 6000},
    {"007CA004.LCB", "007CA004", 6000},
    {"012CA000.LCB", "012CA000", 3000},
    {"013CA000.LCB", "013CA000", 4000},
};
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    uint32_t seed = 1;
    for (const Design& d : kDesigns) {
        const auto bytes = tvsim::make_bitstream(d.name, d.payload, seed++);
        const std::string path = dir + d.file;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "make_bitstreams: cannot write %s\n", path.c_str());
            if (f != nullptr)
                std::fclose(f);
            return 1;
        }
        if (std::fclose(f) != 0) {
            std::fprintf(stderr, "make_bitstreams: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

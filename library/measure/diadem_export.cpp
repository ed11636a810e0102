#include "measure/diadem_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "link/state.h"
#include "platform/platform.h"

namespace {

// Copied after the per-port file, in this order; the last one decides.
constexpr const char* kFixedFiles[] = {"004ca000.lcb", "007ca000.lcb", "007ca003.lcb",
                                       "007ca004.lcb", "012ca000.lcb", "Tarvenix.par"};

// One copy from the library's directory to dest + name. 0 or an errno;
// a path that does not fit its buffer fails with ENAMETOOLONG.
int copy_one(const char* dest, const char* name)
{
    const std::string from = data_path(name);
    char to[kExportPathCapacity];
    const int len = std::snprintf(to, sizeof to, "%s%s", dest, name);
    if (from.size() >= kExportPathCapacity || len < 0 || len >= kExportPathCapacity)
        return ENAMETOOLONG;
    return copy_file(from, to);
}

int32_t fail(int err)
{
    const std::string text = error_text(err);
    host_error_box("Error", text.c_str());
    return 0;
}

}  // namespace

const char* port_file_name(uint16_t iolpt)
{
    switch (iolpt) {
    case 0x378:
        return "AD.378";
    case 0x3BC:
        return "AD.3BC";
    case 0x278:
        return "AD.278";
    default:
        return nullptr;
    }
}

extern "C" {

TARVENIX_API int32_t CopyParaAndLcbFiles2DiademDir(const char* target)
{
    if (target == nullptr)
        return fail(EINVAL);
    // The target is held in a path buffer like every other path.
    const size_t len = strnlen(target, kExportPathCapacity);
    if (len >= kExportPathCapacity)
        return fail(ENAMETOOLONG);
    // Only the directory part counts: cut after the last '/'; a target
    // without one is used whole as the prefix of every name.
    char dest[kExportPathCapacity];
    std::memcpy(dest, target, len + 1);
    if (char* slash = std::strrchr(dest, '/'))
        slash[1] = '\0';

    if (const char* port_file = port_file_name(g_dev.iolpt))
        (void)copy_one(dest, port_file);
    int err = 0;
    for (const char* name : kFixedFiles)
        err = copy_one(dest, name);
    if (err == 0)
        return 1;
    return fail(err);
}

}  // extern "C"

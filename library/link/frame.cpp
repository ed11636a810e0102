// The library's frame: the one DeviceState, the entry that records the
// library's directory, registration and the small queries.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "link/messages.h"
#include "link/port.h"
#include "link/state.h"
#include "platform/platform.h"

DeviceState g_dev;

namespace {

// Copies path into dll_dir and cuts it after its last '/'. A path that does
// not fit is not taken (dll_dir stays as it was).
void set_dir_from(const char* path, bool is_dir)
{
    const size_t len = std::strlen(path);
    if (len + 2 > sizeof g_dev.dll_dir)
        return;
    std::memcpy(g_dev.dll_dir, path, len + 1);
    if (is_dir) {
        if (len == 0 || g_dev.dll_dir[len - 1] != '/') {
            g_dev.dll_dir[len] = '/';
            g_dev.dll_dir[len + 1] = '\0';
        }
        return;
    }
    char* slash = std::strrchr(g_dev.dll_dir, '/');
    if (slash != nullptr)
        slash[1] = '\0';
    else
        std::strcpy(g_dev.dll_dir, "./");
}

// Library entry at load: nothing but the directory.
__attribute__((constructor)) void record_library_dir()
{
    const char* over = std::getenv("TARVENIX_DIR");
    if (over != nullptr && *over != '\0') {
        set_dir_from(over, true);
        return;
    }
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&record_library_dir), &info) != 0 && info.dli_fname != nullptr) {
        // dli_fname of the main program may be relative or empty
        char resolved[4096];
        if (realpath(info.dli_fname, resolved) != nullptr)
            set_dir_from(resolved, false);
        else
            set_dir_from(info.dli_fname, false);
    }
}

int32_t register_sink(MessageSink sink)
{
    g_dev.par_written = 0;
    g_dev.msg_sink = sink;
    g_dev.iolpt = kNoBox;
    if (driver_load() == 1) {
        msg("\n The driver for hardware access was loaded successfully.\n");
        return 1;
    }
    msg("\n FATAL ERROR: The driver for hardware access could not be loaded.\n");
    host_beep(BeepKind::Exclamation);
    return 0;
}

}  // namespace

extern "C" {

TARVENIX_API int32_t enableDLLmessages_PortwardInit(MessageSink sink)
{
    return register_sink(sink);
}

TARVENIX_API int32_t enableDLLmessages_PortwardInitVb(void)
{
    return register_sink(nullptr);
}

TARVENIX_API int32_t IsTarvenixInitialized(void)
{
    return g_dev.iolpt != kNoBox ? 1 : 0;
}

TARVENIX_API int32_t IsTarvenixParFileWritten(void)
{
    return g_dev.par_written;
}

TARVENIX_API int32_t GetTarvenixDllDir(char* buffer, int32_t size)
{
    if (buffer == nullptr)
        return 0;
    const size_t len = std::strlen(g_dev.dll_dir);
    if (size <= 0 || static_cast<size_t>(size) <= len)
        return 0;
    std::memcpy(buffer, g_dev.dll_dir, len + 1);
    return 1;
}

}  // extern "C"

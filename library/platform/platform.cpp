#include "platform/platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "link/port.h"
#include "link/state.h"

void sleep_ms(uint32_t ms)
{
    if (g_port != nullptr)
        g_port->sleep_ms(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t tick_ms()
{
    if (g_port != nullptr)
        return g_port->tick_ms();
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t calendar_time()
{
    const char* fixed = std::getenv("TARVENIX_FIXED_TIME");   // reproducible time stamps in tests
    if (fixed != nullptr && *fixed != '\0')
        return static_cast<uint32_t>(std::strtoul(fixed, nullptr, 0));
    return static_cast<uint32_t>(std::time(nullptr));
}

namespace {
template <typename F>
F host_hook(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}
}  // namespace

void host_beep(BeepKind kind)
{
    using Hook = void (*)(int);
    if (Hook h = host_hook<Hook>("tarvenix_host_beep")) {
        h(static_cast<int>(kind));
        return;
    }
    if (isatty(STDERR_FILENO)) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

int host_question(const char* caption, const char* text)
{
    using Hook = int (*)(const char*, const char*);
    if (Hook h = host_hook<Hook>("tarvenix_host_question"))
        return h(caption, text) != 0 ? 1 : 0;
    if (isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s\n%s\n[y/n] ", caption, text);
        std::fflush(stderr);
        char line[32];
        if (std::fgets(line, sizeof line, stdin) != nullptr)
            return line[0] == 'y' || line[0] == 'Y' ? 1 : 0;
        return 0;
    }
    const char* answer = std::getenv("TARVENIX_ANSWER");
    return answer != nullptr && std::strcmp(answer, "yes") == 0 ? 1 : 0;
}

void host_error_box(const char* caption, const char* text)
{
    using Hook = void (*)(const char*, const char*);
    if (Hook h = host_hook<Hook>("tarvenix_host_error_box")) {
        h(caption, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

std::string find_in_dir(const std::string& dir, const char* name)
{
    std::string exact = dir + name;
    struct stat st;
    if (stat(exact.c_str(), &st) == 0)
        return exact;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr)
        return exact;
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name) == 0) {
            found = dir + e->d_name;
            break;
        }
    }
    closedir(d);
    return found.empty() ? exact : found;
}

std::string data_path(const char* name)
{
    return find_in_dir(g_dev.dll_dir, name);
}

int write_file_atomic(const std::string& path, const std::string& content)
{
    std::string tmp = path + ".tmpXXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0)
        return errno;
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            close(fd);
            unlink(tmp.c_str());
            return err;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    fchmod(fd, 0644);
    if (fsync(fd) != 0 || close(fd) != 0) {
        const int err = errno;
        unlink(tmp.c_str());
        return err;
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(tmp.c_str());
        return err;
    }
    return 0;
}

int copy_file(const std::string& from, const std::string& to)
{
    std::FILE* in = std::fopen(from.c_str(), "rb");
    if (in == nullptr)
        return errno;
    std::string content;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        content.append(buf, n);
    const int err = std::ferror(in) ? EIO : 0;
    std::fclose(in);
    if (err != 0)
        return err;
    return write_file_atomic(to, content);
}

std::string error_text(int err)
{
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf
    const char* s = strerror_r(err, buf, sizeof buf);
    return s;
}

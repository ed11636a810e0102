#include "host_hooks.h"

namespace testsupport {
HostHooks g_host;
}

extern "C" {

__attribute__((visibility("default"))) int tarvenix_host_question(const char* caption, const char* text)
{
    auto& h = testsupport::g_host;
    h.questions.emplace_back(caption, text);
    if (h.answers.empty())
        return 0;
    const int a = h.answers.front();
    h.answers.pop_front();
    return a;
}

__attribute__((visibility("default"))) void tarvenix_host_error_box(const char* caption, const char* text)
{
    testsupport::g_host.error_boxes.emplace_back(caption, text);
}

__attribute__((visibility("default"))) void tarvenix_host_beep(int kind)
{
    testsupport::g_host.beeps.push_back(kind);
}

}  // extern "C"

#include "link/messages.h"

#include <cstdarg>
#include <cstdio>

#include "link/state.h"

void msg(const char* text)
{
    if (g_dev.msg_sink != nullptr)
        g_dev.msg_sink(text);
}

void msgf(const char* format, ...)
{
    if (g_dev.msg_sink == nullptr)
        return;
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    g_dev.msg_sink(buf);
}

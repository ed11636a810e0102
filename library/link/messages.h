// Texts to the caller's sink. Every buffer is bounded; a text longer than
// the buffer is cut, never overrun.
#pragma once

void msg(const char* text);
void msgf(const char* format, ...) __attribute__((format(printf, 1, 2)));

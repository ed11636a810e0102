// The few operating-system services the library uses. Sleeps and ticks go
// through the port backend, so that on the simulated box they are virtual.
#pragma once
#include <cstdint>
#include <string>

void sleep_ms(uint32_t ms);
uint32_t tick_ms();
// Seconds since 1970-01-01 00:00 UTC.
uint32_t calendar_time();

enum class BeepKind { Exclamation = 0, Information = 1 };
void host_beep(BeepKind kind);
// Yes/no question to the user: 1 yes, 0 no. Through the host program's hook
// tarvenix_host_question, else the terminal, else TARVENIX_ANSWER, else no.
int host_question(const char* caption, const char* text);
// Error box: the host's tarvenix_host_error_box, else stderr.
void host_error_box(const char* caption, const char* text);

// The path of a data file in the library's directory. An existing file whose
// name differs only in letter case is found; otherwise dll_dir + name.
std::string data_path(const char* name);
// Same lookup inside any directory (ending in '/').
std::string find_in_dir(const std::string& dir, const char* name);

// Writes the file whole or not at all: a temporary file in the same
// directory, flushed to disk, then renamed over the target. 0 on success,
// else the errno of the failing step.
int write_file_atomic(const std::string& path, const std::string& content);
// Copies a file, replacing the target (also atomically). 0 or errno.
int copy_file(const std::string& from, const std::string& to);
// The system's text for an error number.
std::string error_text(int err);

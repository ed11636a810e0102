// The host program's hooks as the tests provide them: questions answered
// from a queue, error boxes and beeps recorded.
#pragma once
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {
struct HostHooks {
    std::deque<int> answers;                                  // next answers to questions (empty: no)
    std::vector<std::pair<std::string, std::string>> questions;
    std::vector<std::pair<std::string, std::string>> error_boxes;
    std::vector<int> beeps;
    void clear() { *this = HostHooks{}; }
};
extern HostHooks g_host;
}  // namespace testsupport

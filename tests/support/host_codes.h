// The file manager's numbers, written out here rather than taken from the module's header, so
// that a wrong constant in the module cannot agree with itself in a test.
#pragma once

#include <cstdint>

namespace tarvel::testing {

constexpr uint32_t kCommandInfo = 0;
constexpr uint32_t kCommandSearch = 10;
constexpr uint32_t kHostOutputLine = 3076;

}  // namespace tarvel::testing

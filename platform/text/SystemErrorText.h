#pragma once
#include <string>

namespace vlt {

// The system's text for an errno value.
std::string SystemErrorText(int err);

} // namespace vlt

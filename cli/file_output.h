#pragma once
// Writing the command's JSON outputs.
#include <string>

namespace cvimp {

// Replaces `path` with `text`; false when it cannot be written.
bool writeTextFile(const std::string& path, const std::string& text);

}  // namespace cvimp

#pragma once
// The command's files: writing its JSON outputs, checking the scene it reads.
#include <string>

namespace cvimp {

// Replaces `path` with `text`; false when it cannot be written.
bool writeTextFile(const std::string& path, const std::string& text);

// Why the scene file cannot be read, as a line naming it with the system's
// reason ("cannot find the scene file "x.vrscene": No such file or
// directory"); empty when it can be opened.
std::string sceneFileProblem(const std::string& scenePath);

}  // namespace cvimp

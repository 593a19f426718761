#pragma once
// Jobs from the platform page: a UTF-16 JSON text whose "jobType" selects
// the design import ("startImport": download, two unzips, import, clean-up)
// or one of the small jobs (the plug-in's version, one file's download, a
// shell launch). Every job ends with a success flag and one result text.
#include <string>

#include "host/max.h"
#include "state/plugin_state.h"

namespace cvimp {

// The plug-in's version, as the page reads it.
inline constexpr const char16_t* kPluginVersion = u"1.1.9";

// Runs the job inside the host's suspension scope, on the host's main
// thread; sets `result` (always) and returns the success flag. An unknown,
// absent or non-string "jobType", or a text that is no JSON object, gives
// "Unknown job type".
bool runJob(PluginState& state, const std::u16string& jobText, WStr& result);

// The outer package's password: the first 12 bytes of the design id and
// the last 4 of the task id (both 8-bit, long enough).
std::string packagePassword(const std::string& designId, const std::string& taskId);

}  // namespace cvimp

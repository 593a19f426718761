#pragma once
// Running one job from the page on the host's main thread.
#include <string>

#include "state/plugin_state.h"
#include "host/wstr.h"

namespace cvimp {

// The plug-in's version, as the page reads it.
inline constexpr const char16_t* kPluginVersion = u"1.1.9";

// Runs the job inside the host's suspension scope; sets `result` (always)
// and returns the success flag. An unknown, absent or non-string "jobType",
// or a text that is no JSON object, gives "Unknown job type".
bool runJob(PluginState& state, const std::u16string& jobText, WStr& result);

}  // namespace cvimp

#pragma once
// The design import: identifiers checked, options stored, the package
// downloaded and unpacked twice, the scene imported, intermediate files
// removed.
#include <string>

#include "jobs/job_document.h"
#include "state/plugin_state.h"
#include "host/wstr.h"

namespace cvimp {

bool runImportJob(const JobDocument& job, PluginState& state, WStr& result);

// The outer package's password: the first 12 bytes of the design id and
// the last 4 of the task id (both 8-bit, long enough).
std::string packagePassword(const std::string& designId, const std::string& taskId);

// A task id names folders directly inside the download directory: a plain
// file name, not "." or "..", without separators or a drive.
bool isPlainFolderName(const std::string& name);

}  // namespace cvimp

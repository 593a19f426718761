#pragma once
// The design import: identifiers checked, options stored, the package
// downloaded and unpacked twice, the scene imported, intermediate files
// removed.
#include <string>

#include "host/max.h"
#include "jobs/job_document.h"
#include "jobs/jobs.h"
#include "state/plugin_state.h"

namespace cvimp {

bool runImportJob(const JobDocument& job, PluginState& state, WStr& result);

// A task id names folders directly inside the download directory: a plain
// file name, not "." or "..", without separators or a drive.
bool isPlainFolderName(const std::string& name);

}  // namespace cvimp

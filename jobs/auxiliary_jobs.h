#pragma once
// The small jobs: the plug-in's version, one file's download, and opening a
// file or starting a program through the shell.
#include "host/max.h"
#include "jobs/job_document.h"

namespace cvimp {

// The text that stands for the host's download directory in path fields.
inline constexpr const char16_t* kDownloadDirToken = u"%MAX_DOWNLOAD_DIR%";

bool runVersionJob(WStr& result);
bool runDownloadJob(const JobDocument& job, WStr& result);
bool runShellExecuteJob(const JobDocument& job, WStr& result);

// The result text for a failed launch (a shell result of 32 or less).
const char16_t* launchErrorText(long long shellResult);

}  // namespace cvimp

#pragma once
// The download directory (path configuration directory APP_DOWNLOAD_DIR)
// as the stand-in's programs set it up.
#include <string>

namespace host {

// "cvimp/downloads" under the user's cache directory, created on demand.
// Empty when it cannot be made.
std::string defaultDownloadDirectory();

// Makes `folder` (empty: the default one) the host's download directory,
// creating it when missing. False, with a message naming `program`, when
// there is none to use.
bool useDownloadDirectory(std::string folder, const char* program);

}  // namespace host

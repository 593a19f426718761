#pragma once
// The HTTP(S) requests under downloadFile, on libcurl. Apart from the host:
// on Windows libcurl's headers bring in the system's, whose names the
// stand-in host's headers also define.
#include <cstdio>
#include <functional>
#include <string>

#include "jobs/download.h"

namespace cvimp {

// Asked during every request, at least once a second.
struct TransferWatch {
  std::function<bool()> cancelled;    // true ends the request
  std::function<void(int)> progress;  // the share received, in percent; may be empty
};

// Asks the server whether the resource exists (HEAD), with the settings'
// redirects, certificates and time-out. The status, or 0 when the probe did
// not complete: no connection, time-out, a certificate that does not check
// out, a redirect that leads nowhere allowed, a cancel.
long probeStatus(const std::string& address, const DownloadSettings& settings, const TransferWatch& watch);

// Streams the resource's body into `file`, within the settings' size and
// stall limits; an error answer ends it before its page reaches the file.
// The final status, or 0 when the transfer failed or was cancelled.
long transferInto(std::FILE* file, const std::string& address, const DownloadSettings& settings,
                  const TransferWatch& watch);

}  // namespace cvimp

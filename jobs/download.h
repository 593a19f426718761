#pragma once
// Copying the resource at an HTTP(S) address into a local file, with the
// host's "Downloading design..." progress.
#include <string>

namespace cvimp {

// False when the server says the resource does not exist (404 to the
// probe), when the transfer fails (libcurl error, an answer other than a
// success after at most 5 redirects within HTTP and HTTPS, a certificate or
// host name that does not check out, a stall) or the target cannot be
// written; the target then keeps what it held. The body is streamed into
// a temporary file beside the target, which replaces the target only once
// the whole resource has arrived. Both strings are 8-bit (the system code
// page). Blocks the calling thread until the transfer ends.
bool downloadFile(const std::string& address, const std::string& targetPath);

// Internal settings, for tests and the demo: an extra certificate file
// (PEM) to trust besides the system's store (empty: none), and the stall
// limit: a transfer under 1 byte per second for that many seconds fails.
struct DownloadSettings {
  std::string trustedCertificateFile;
  long stallSeconds = 60;
};
void setDownloadSettings(const DownloadSettings& settings);
DownloadSettings downloadSettings();

}  // namespace cvimp

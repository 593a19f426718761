#pragma once
// Copying the resource at an HTTP(S) address into a local file, with the
// host's "Downloading design..." progress.
#include <cstdint>
#include <functional>
#include <string>

#include "jobs/limits.h"

namespace cvimp {

// False when the server says the resource does not exist (404 to the
// probe), when the transfer fails (libcurl error, an answer other than a
// success after at most 5 redirects within HTTP and HTTPS, a certificate or
// host name that does not check out, a stall, a resource over the size
// limit), when the host's cancel button is pressed during the probe or the
// transfer, or when the target cannot be written; the target then keeps
// what it held. The body is streamed into a temporary file beside the
// target, which replaces the target only once the whole resource has
// arrived. Both strings are UTF-8. Blocks the calling thread until the
// transfer ends.
bool downloadFile(const std::string& address, const std::string& targetPath);

// Internal settings, for tests and the demo: an extra certificate file
// (PEM) to trust besides the system's store (empty: none); the size limit
// (CVIMP_MAX_DOWNLOAD_BYTES, default 16 GiB), applied to the announced
// length and to the bytes received; and the stall limit: a transfer under
// `stallBytesPerSecond` for `stallSeconds` fails.
struct DownloadSettings {
  std::string trustedCertificateFile;
  std::uint64_t maxBytes = byteLimitFromEnvironment("CVIMP_MAX_DOWNLOAD_BYTES", 16 * kGibibyte);
  long stallBytesPerSecond = 1024;
  long stallSeconds = 30;
  // Takes the place of the network when set (runs that must reach no
  // server, such as fuzzing the jobs): called with the address and the
  // target, it answers for the whole download.
  std::function<bool(const std::string& address, const std::string& targetPath)> transfer;
};
void setDownloadSettings(const DownloadSettings& settings);
DownloadSettings downloadSettings();

}  // namespace cvimp

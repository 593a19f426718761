#include "jobs/http_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace cvimp {
namespace {

constexpr long kProbeTimeoutSeconds = 3;
constexpr long kMaxRedirects = 5;
// For the address and for every redirect: a page must not be able to send
// the importer to file://, ftp:// or any other scheme libcurl speaks.
constexpr const char* kAllowedProtocols = "http,https";

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

// Sets the options every request of a download shares: redirects within
// HTTP(S), certificate and host-name checks, no signals (the host runs
// other threads). False when libcurl refuses one of them; a download then
// does not go ahead with weaker settings than intended.
bool setSharedOptions(CURL* handle, const DownloadSettings& settings) {
  bool ok = curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, kAllowedProtocols) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK;
  // libcurl's defaults, spelled out: they are what keeps a design package
  // from being replaced by anyone on the network.
  ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
#ifdef _WIN32
  // Windows keeps its authorities in its own store, which OpenSSL does not
  // read by itself, and there is no bundle file; a CAINFO file below is
  // trusted beside the store.
  ok = ok && curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA)) == CURLE_OK;
#endif
  if (ok && !settings.trustedCertificateFile.empty()) {
    // CAINFO takes the place of the default bundle file; the default CA
    // directory (Debian: /etc/ssl/certs, hashed) stays in use, so the
    // system's authorities are still trusted beside this certificate.
    ok = curl_easy_setopt(handle, CURLOPT_CAINFO, settings.trustedCertificateFile.c_str()) == CURLE_OK;
  }
  return ok;
}

// libcurl calls this during each request, also while no data comes (at
// least once a second), so the host's cancel button ends a request that
// way within a second. Moves the bar, when there is one, to the share
// received of a length the server gave.
int watchTransfer(void* watch, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  const TransferWatch& w = *static_cast<const TransferWatch*>(watch);
  if (w.cancelled()) return 1;
  if (w.progress && expected > 0) {
    const double share = static_cast<double>(received) / static_cast<double>(expected);
    w.progress(static_cast<int>(share * 100.0));
  }
  return 0;
}

bool setWatch(CURL* handle, const TransferWatch* watch) {
  bool ok = curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, watchTransfer) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_XFERINFODATA, watch) == CURLE_OK;
  return ok && curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

// Asks the server whether the resource exists (HEAD). The status, or 0
// when the probe did not complete: no connection, time-out, a certificate
// that does not check out, a redirect that leads nowhere allowed, a press
// of the cancel button.
}  // namespace

long probeStatus(const std::string& address, const DownloadSettings& settings, const TransferWatch& watch) {
  EasyHandle probe(curl_easy_init());
  if (!probe) return 0;
  bool ok = curl_easy_setopt(probe.get(), CURLOPT_NOBODY, 1L) == CURLE_OK;
  ok = ok && setWatch(probe.get(), &watch);
  ok = ok && curl_easy_setopt(probe.get(), CURLOPT_TIMEOUT, kProbeTimeoutSeconds) == CURLE_OK;
  ok = ok && curl_easy_setopt(probe.get(), CURLOPT_URL, address.c_str()) == CURLE_OK;
  ok = ok && setSharedOptions(probe.get(), settings);
  if (!ok || curl_easy_perform(probe.get()) != CURLE_OK) return 0;
  long status = 0;
  if (curl_easy_getinfo(probe.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
  return status;
}

namespace {

// Where the body goes: the part file, with what has arrived counted
// against the size limit.
struct BodySink {
  std::FILE* file = nullptr;
  std::uint64_t received = 0;
  std::uint64_t limit = 0;
};

// One write of `count` bytes (libcurl's item size is 1); a short write
// makes libcurl end the transfer. Counting here catches a server that does
// not say how much it sends.
std::size_t writeBlock(char* data, std::size_t size, std::size_t count, void* target) {
  auto& sink = *static_cast<BodySink*>(target);
  const std::size_t bytes = size * count;
  if (bytes > sink.limit - sink.received) return 0;
  sink.received += bytes;
  return std::fwrite(data, 1, bytes, sink.file);
}

bool setTransferOptions(CURL* transfer, const std::string& address, BodySink* sink, const TransferWatch* watch,
                        const DownloadSettings& settings) {
  bool ok = curl_easy_setopt(transfer, CURLOPT_URL, address.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, writeBlock) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEDATA, sink) == CURLE_OK;
  ok = ok && setWatch(transfer, watch);
  // An error answer ends the transfer before its page reaches the file.
  ok = ok && curl_easy_setopt(transfer, CURLOPT_FAILONERROR, 1L) == CURLE_OK;
  // A length announced over the limit ends the transfer before the body.
  const auto announced = static_cast<curl_off_t>(
      std::min<std::uint64_t>(settings.maxBytes, static_cast<std::uint64_t>(std::numeric_limits<curl_off_t>::max())));
  ok = ok && curl_easy_setopt(transfer, CURLOPT_MAXFILESIZE_LARGE, announced) == CURLE_OK;
  // A trickle under the stall limit ends the transfer instead of blocking
  // the host's main thread for hours.
  ok = ok && curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_LIMIT, settings.stallBytesPerSecond) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds) == CURLE_OK;
  return ok && setSharedOptions(transfer, settings);
}

}  // namespace

long transferInto(std::FILE* file, const std::string& address, const DownloadSettings& settings,
                  const TransferWatch& watch) {
  EasyHandle transfer(curl_easy_init());
  if (!transfer) return 0;
  BodySink sink{file, 0, settings.maxBytes};
  if (!setTransferOptions(transfer.get(), address, &sink, &watch, settings)) return 0;
  if (curl_easy_perform(transfer.get()) != CURLE_OK) return 0;
  long status = 0;
  if (curl_easy_getinfo(transfer.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
  return status;
}

}  // namespace cvimp

#include "jobs/download.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>

#include "host/max.h"
#include "platform/platform.h"
#include "state/plugin_state.h"

namespace cvimp {
namespace {

constexpr long kProbeTimeoutSeconds = 3;
constexpr long kMaxRedirects = 5;
// For the address and for every redirect: a page must not be able to send
// the importer to file://, ftp:// or any other scheme libcurl speaks.
constexpr const char* kAllowedProtocols = "http,https";
constexpr const MCHAR* kProgressTitle = u"Downloading design...";

std::mutex settingsLock;
DownloadSettings currentSettings;

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
int watchTransfer(void* bar, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  if (GetCOREInterface()->GetCancel()) return 1;
  if (bar != nullptr && expected > 0) {
    const double share = static_cast<double>(received) / static_cast<double>(expected);
    static_cast<ProgressScope*>(bar)->update(static_cast<int>(share * 100.0));
  }
  return 0;
}

bool setWatch(CURL* handle, ProgressScope* bar) {
  bool ok = curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, watchTransfer) == CURLE_OK;
  ok = ok && curl_easy_setopt(handle, CURLOPT_XFERINFODATA, bar) == CURLE_OK;
  return ok && curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

// Asks the server whether the resource exists (HEAD). The status, or 0
// when the probe did not complete: no connection, time-out, a certificate
// that does not check out, a redirect that leads nowhere allowed, a press
// of the cancel button.
long probeStatus(const std::string& address, const DownloadSettings& settings) {
  EasyHandle probe(curl_easy_init());
  if (!probe) return 0;
  bool ok = curl_easy_setopt(probe.get(), CURLOPT_NOBODY, 1L) == CURLE_OK;
  ok = ok && setWatch(probe.get(), nullptr);
  ok = ok && curl_easy_setopt(probe.get(), CURLOPT_TIMEOUT, kProbeTimeoutSeconds) == CURLE_OK;
  ok = ok && curl_easy_setopt(probe.get(), CURLOPT_URL, address.c_str()) == CURLE_OK;
  ok = ok && setSharedOptions(probe.get(), settings);
  if (!ok || curl_easy_perform(probe.get()) != CURLE_OK) return 0;
  long status = 0;
  if (curl_easy_getinfo(probe.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
  return status;
}

// A folder exists where the target is to go, and the target is no folder.
bool targetPlaceExists(const std::string& targetPath) {
  namespace fs = std::filesystem;
  const fs::path target(targetPath);
  if (!target.has_filename()) return false;
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  return !fs::is_directory(target, error);
}

// The file the body is streamed into: "<target>.part-XXXXXX" beside the
// target, created exclusively so that it never is someone else's file. It
// takes the target's place only through commit(); otherwise it is removed.
class PartFile {
 public:
  PartFile() = default;
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;
  ~PartFile() {
    file_.reset();
    if (!path_.empty()) std::remove(path_.c_str());
  }

  bool create(const std::string& targetPath) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string candidate = targetPath + ".part-";
      for (int i = 0; i < 6; ++i) candidate += kLetters[pick(device)];
      errno = 0;
      // "x": fails when the name exists, instead of opening that file.
      platform::File file = platform::openFile(candidate, "wbx");
      if (file) {
        file_ = std::move(file);
        path_ = std::move(candidate);
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  std::FILE* stream() const { return file_.get(); }

  // Flushes and closes the file, then moves it onto the target, which an
  // existing file there gives way to in one step.
  bool commit(const std::string& targetPath) {
    if (!platform::closeFile(file_)) return false;
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(path_), std::filesystem::path(targetPath), error);
    if (error) return false;
    path_.clear();
    return true;
  }

 private:
  platform::File file_;
  std::string path_;
};

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

bool setTransferOptions(CURL* transfer, const std::string& address, BodySink* sink, ProgressScope* progress,
                        const DownloadSettings& settings) {
  bool ok = curl_easy_setopt(transfer, CURLOPT_URL, address.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, writeBlock) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEDATA, sink) == CURLE_OK;
  ok = ok && setWatch(transfer, progress);
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

bool downloadFile(const std::string& address, const std::string& targetPath) {
  const DownloadSettings settings = downloadSettings();
  if (!targetPlaceExists(targetPath)) return false;
  if (settings.transfer) return settings.transfer(address, targetPath);

  // Only a definite "does not exist" refuses: a probe that fails, or a
  // server that does not answer HEAD, still gets the transfer.
  if (probeStatus(address, settings) == 404) return false;
  // Before the bar's start, which clears the button: a press during the
  // probe ends the download here.
  Interface* core = GetCOREInterface();
  if (core->GetCancel()) return false;

  PartFile part;
  if (!part.create(targetPath)) return false;
  EasyHandle transfer(curl_easy_init());
  if (!transfer) return false;

  // The bar is moved by libcurl's progress function.
  ProgressScope progress(kProgressTitle);
  BodySink sink{part.stream(), 0, settings.maxBytes};
  if (!setTransferOptions(transfer.get(), address, &sink, &progress, settings)) return false;
  if (curl_easy_perform(transfer.get()) != CURLE_OK) return false;
  // A press after libcurl last asked still counts.
  if (core->GetCancel()) return false;
  long status = 0;
  if (curl_easy_getinfo(transfer.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return false;
  // Anything but a success here (an error, or a redirect answer without a
  // place to go) is not the resource.
  if (status < 200 || status > 299) return false;
  transfer.reset();
  return part.commit(targetPath);
}

void setDownloadSettings(const DownloadSettings& settings) {
  std::lock_guard guard(settingsLock);
  currentSettings = settings;
}

DownloadSettings downloadSettings() {
  std::lock_guard guard(settingsLock);
  return currentSettings;
}

}  // namespace cvimp

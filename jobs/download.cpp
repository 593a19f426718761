#include "jobs/download.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
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

// Asks the server whether the resource exists (HEAD). The status, or 0
// when the probe did not complete: no connection, time-out, a certificate
// that does not check out, a redirect that leads nowhere allowed.
long probeStatus(const std::string& address, const DownloadSettings& settings) {
  EasyHandle probe(curl_easy_init());
  if (!probe) return 0;
  bool ok = curl_easy_setopt(probe.get(), CURLOPT_NOBODY, 1L) == CURLE_OK;
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

// One write of `count` items; a short write makes libcurl end the transfer.
std::size_t writeBlock(char* data, std::size_t size, std::size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file));
}

// Moves the bar to the share received, when the server gave a length. The
// host's cancel button is not consulted: the transfer is never aborted here.
int showProgress(void* progress, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  if (expected > 0) {
    const double share = static_cast<double>(received) / static_cast<double>(expected);
    static_cast<ProgressScope*>(progress)->update(static_cast<int>(share * 100.0));
  }
  return 0;
}

bool setTransferOptions(CURL* transfer, const std::string& address, std::FILE* file, ProgressScope* progress,
                        const DownloadSettings& settings) {
  bool ok = curl_easy_setopt(transfer, CURLOPT_URL, address.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, writeBlock) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_WRITEDATA, file) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_XFERINFOFUNCTION, showProgress) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_XFERINFODATA, progress) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
  // An error answer ends the transfer before its page reaches the file.
  ok = ok && curl_easy_setopt(transfer, CURLOPT_FAILONERROR, 1L) == CURLE_OK;
  // Under 1 byte per second for the stall limit ends the transfer instead
  // of blocking the host's main thread for good.
  ok = ok && curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds) == CURLE_OK;
  return ok && setSharedOptions(transfer, settings);
}

}  // namespace

bool downloadFile(const std::string& address, const std::string& targetPath) {
  const DownloadSettings settings = downloadSettings();
  if (!targetPlaceExists(targetPath)) return false;

  // Only a definite "does not exist" refuses: a probe that fails, or a
  // server that does not answer HEAD, still gets the transfer.
  if (probeStatus(address, settings) == 404) return false;

  PartFile part;
  if (!part.create(targetPath)) return false;
  EasyHandle transfer(curl_easy_init());
  if (!transfer) return false;

  // The bar is moved by libcurl's progress function.
  ProgressScope progress(kProgressTitle);
  if (!setTransferOptions(transfer.get(), address, part.stream(), &progress, settings)) return false;
  if (curl_easy_perform(transfer.get()) != CURLE_OK) return false;
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

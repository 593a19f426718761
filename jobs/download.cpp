#include "jobs/download.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>

#include "host/max.h"
#include "jobs/http_transfer.h"
#include "platform/platform.h"
#include "state/plugin_state.h"

namespace cvimp {
namespace {

constexpr const MCHAR* kProgressTitle = u"Downloading design...";

std::mutex settingsLock;
DownloadSettings currentSettings;

// A folder exists where the target is to go, and the target is no folder.
bool targetPlaceExists(const std::string& targetPath) {
  namespace fs = std::filesystem;
  const fs::path target = platform::pathFromUtf8(targetPath);
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
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove(platform::pathFromUtf8(path_), ignored);
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
    std::filesystem::rename(platform::pathFromUtf8(path_), platform::pathFromUtf8(targetPath), error);
    if (error) return false;
    path_.clear();
    return true;
  }

 private:
  platform::File file_;
  std::string path_;
};

}  // namespace

bool downloadFile(const std::string& address, const std::string& targetPath) {
  const DownloadSettings settings = downloadSettings();
  if (!targetPlaceExists(targetPath)) return false;
  if (settings.transfer) return settings.transfer(address, targetPath);

  Interface* core = GetCOREInterface();
  TransferWatch watch;
  watch.cancelled = [core] { return core->GetCancel() != 0; };
  // Only a definite "does not exist" refuses: a probe that fails, or a
  // server that does not answer HEAD, still gets the transfer.
  if (probeStatus(address, settings, watch) == 404) return false;
  // Before the bar's start, which clears the button: a press during the
  // probe ends the download here.
  if (core->GetCancel()) return false;

  PartFile part;
  if (!part.create(targetPath)) return false;

  // The bar is moved by libcurl's progress function.
  ProgressScope progress(kProgressTitle);
  watch.progress = [&progress](int percent) { progress.update(percent); };
  const long status = transferInto(part.stream(), address, settings, watch);
  // A press after libcurl last asked still counts.
  if (core->GetCancel()) return false;
  // Anything but a success here (a failed transfer, an error, or a redirect
  // answer without a place to go) is not the resource.
  if (status < 200 || status > 299) return false;
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

#include "jobs/import_job.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "jobs/download.h"
#include "jobs/package_extraction.h"
#include "platform/platform.h"

namespace cvimp {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kDesignIdBytes = 12;
constexpr std::size_t kTaskIdBytes = 4;

// Paths meet the host as UTF-16 and the file system through UTF-8, which
// hold every character; the code page would lose most outside its own.
fs::path pathOf(const WStr& text) { return platform::pathFromUtf8(text.ToUTF8().str()); }
std::u16string textOf(const fs::path& path) { return WStr::FromUTF8(platform::utf8FromPath(path).c_str()).str(); }

// The extension from the last dot of the name on, compared as it stands.
bool isSceneOrMeshFile(const fs::path& file) {
  const std::string name = platform::utf8FromPath(file.filename());
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = name.substr(dot);
  return extension == ".vrscene" || extension == ".vrmesh";
}

bool cancelPressed() { return GetCOREInterface()->GetCancel() != FALSE; }

bool keepIntermediateFiles() {
  const std::optional<std::string> log = platform::environmentVariable("CVIMP_LOG_FILENAME");
  return log && !log->empty();
}

// Best effort: what cannot be removed or walked stays.
void cleanUp(const fs::path& workFolder, const fs::path& designFolder) {
  std::error_code error;
  fs::remove_all(workFolder, error);
  std::vector<fs::path> collected;
  fs::recursive_directory_iterator walk(designFolder, fs::directory_options::skip_permission_denied, error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    std::error_code statusError;
    if (walk->is_regular_file(statusError) && isSceneOrMeshFile(walk->path())) collected.push_back(walk->path());
  }
  if (keepIntermediateFiles()) return;
  for (const fs::path& file : collected) fs::remove(file, error);
}

}  // namespace

std::string packagePassword(const std::string& designId, const std::string& taskId) {
  return designId.substr(0, kDesignIdBytes) + taskId.substr(taskId.size() - kTaskIdBytes);
}

bool isPlainFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of("/\\") != std::string::npos) return false;
  if (name.find('\0') != std::string::npos) return false;
  // "C:" and the like name a drive on the platform the packages come from.
  if (name.size() >= 2 && name[1] == ':') return false;
  return true;
}

bool runImportJob(const JobDocument& job, PluginState& state, WStr& result) {
  const WStr designIdText = readStringField(job, u"designId");
  const WStr taskIdText = readStringField(job, u"taskId");
  // Lengths and the password are counted in bytes of the code page, as the
  // platform made the packages; the folders are named by the text itself.
  const std::string designId = designIdText.ToACP().str();
  const std::string taskId = taskIdText.ToACP().str();
  const std::string taskFolder = taskIdText.ToUTF8().str();
  if (designId.size() < kDesignIdBytes) {
    return fail(result, u"Invalid design ID");
  }
  if (taskId.size() < kTaskIdBytes || !isPlainFolderName(taskFolder)) {
    return fail(result, u"Invalid task ID");
  }
  const WStr packageUrl = readStringField(job, u"designPackageUrl");
  if (packageUrl.isNull()) {
    return fail(result, u"Invalid package URL");
  }

  state.importMesh = readFlagField(job, u"importMesh");
  state.importCamera = readFlagField(job, u"importCamera");
  state.importLight = readFlagField(job, u"importLight");
  state.importMaterial = readFlagField(job, u"importMaterial");
  state.importAnimation = readFlagField(job, u"importAnimation");
  if (hasField(job, u"quadrifyMesh")) state.quadrifyMesh = readFlagField(job, u"quadrifyMesh");

  const std::string password = packagePassword(designId, taskId);
  const fs::path downloads = pathOf(WStr(IPathConfigMgr::GetPathConfigMgr()->GetDir(APP_DOWNLOAD_DIR)));
  const fs::path packageFile = downloads / "temp.zip";
  const fs::path workFolder = downloads / platform::pathFromUtf8(taskFolder + "_dec");
  const fs::path innerPackage = workFolder / "kmp.zip";
  const fs::path designFolder = downloads / platform::pathFromUtf8(taskFolder);
  const fs::path sceneFile = designFolder / "vr.vrscene";

  // A press left from earlier work is not this job's. Each step's bar
  // clears the button as it starts, so a press between two steps is looked
  // at before the next one begins: it fails that step.
  GetCOREInterface()->SetCancel(FALSE);
  if (!downloadFile(packageUrl.ToUTF8().str(), platform::utf8FromPath(packageFile))) {
    return fail(result, u"Cannot download URL");
  }
  if (cancelPressed() || !extractArchive(textOf(packageFile), textOf(workFolder), password)) {
    return fail(result, u"Cannot decrypt package");
  }
  if (cancelPressed() || !extractArchive(textOf(innerPackage), textOf(designFolder), std::nullopt)) {
    return fail(result, u"Cannot extract package");
  }
  state.scenePath = WStr(textOf(sceneFile));
  // A press before the import ends it as the import ends on a press at its
  // start: nothing imported, "Succeed".
  const bool imported = cancelPressed() ? succeed(result) : importDesign(state, result);
  cleanUp(workFolder, designFolder);
  return imported;
}

}  // namespace cvimp

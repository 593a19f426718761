#include "jobs/auxiliary_jobs.h"

#include "host/max.h"
#include "jobs/download.h"
#include "jobs/jobs.h"

namespace cvimp {

namespace {

WStr downloadDirectory() { return WStr(IPathConfigMgr::GetPathConfigMgr()->GetDir(APP_DOWNLOAD_DIR)); }

}  // namespace

bool runVersionJob(WStr& result) { return succeed(result, kPluginVersion); }

bool runDownloadJob(const JobDocument& job, WStr& result) {
  const WStr address = readStringField(job, u"remoteFileUrl");
  WStr localPath = readStringField(job, u"localFilePath");
  localPath.Replace(kDownloadDirToken, downloadDirectory().data());
  // A press left from earlier work is not this job's.
  GetCOREInterface()->SetCancel(FALSE);
  // An empty address or path names nothing to fetch or to write.
  if (address.isNull() || localPath.isNull() || !downloadFile(address.ToUTF8().str(), localPath.ToUTF8().str())) {
    return fail(result, u"Cannot download URL");
  }
  return succeed(result);
}

const char16_t* launchErrorText(long long shellResult) {
  switch (shellResult) {
    case 0:
      return u"Out of resource";
    case 2:
      return u"File not found";
    case 3:
      return u"Path not found";
    case 5:
      return u"Access denied";
    case 8:
      return u"Out of memory";
    case 11:
      return u"Bad format";
    case 26:
      return u"Sharing voilation";
    case 27:
      return u"Filename association incomplete";
    case 28:
      return u"DDE timeout";
    case 29:
      return u"DDE failed";
    case 30:
      return u"DDE busy";
    case 31:
      return u"No association";
    case 32:
      return u"DLL not found";
    default:
      return u"Cannot execute";
  }
}

bool runShellExecuteJob(const JobDocument& job, WStr& result) {
  const WStr operation = readStringField(job, u"operation");
  WStr file = readStringField(job, u"file");
  const WStr parameters = readStringField(job, u"parameters");
  WStr directory = readStringField(job, u"directory");
  const int showCmd = readIntField(job, u"showCmd");
  const WStr downloads = downloadDirectory();
  file.Replace(kDownloadDirToken, downloads.data());
  directory.Replace(kDownloadDirToken, downloads.data());
  // An empty text passes nothing, as the host's null test has it.
  const INT_PTR launched = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, operation.data(), file.data(), parameters.isNull() ? nullptr : parameters.data(),
                    directory.isNull() ? nullptr : directory.data(), showCmd));
  if (launched > 32) {
    return succeed(result);
  }
  return fail(result, launchErrorText(launched));
}

}  // namespace cvimp

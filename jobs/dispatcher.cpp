#include "host/max.h"
#include "jobs/auxiliary_jobs.h"
#include "jobs/import_job.h"
#include "jobs/job_document.h"
#include "jobs/jobs.h"

namespace cvimp {

bool runJob(PluginState& state, const std::u16string& jobText, WStr& result) {
  JobSuspension suspension;
  const JobDocument job = parseJob(jobText);
  const std::u16string type = readStringField(job, u"jobType");
  bool succeeded = false;
  if (type == u"startImport") {
    succeeded = runImportJob(job, state, result);
  } else if (type == u"getMaxPluginVersion") {
    succeeded = runVersionJob(result);
  } else if (type == u"downloadUrl") {
    succeeded = runDownloadJob(job, result);
  } else if (type == u"shellExecute") {
    succeeded = runShellExecuteJob(job, result);
  } else {
    succeeded = fail(result, u"Unknown job type");
  }
  suspension.resume();
  return succeeded;
}

}  // namespace cvimp

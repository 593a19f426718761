#pragma once
// The jobs' inner parts, for their own tests: the job document, each job,
// the download and the extraction.
#include "jobs/auxiliary_jobs.h"
#include "jobs/download.h"
#include "jobs/import_job.h"
#include "jobs/job_document.h"
#include "jobs/jobs.h"
#include "jobs/package_extraction.h"

#include "jobs/job_document.h"

namespace cvimp {

namespace {

using Value = JobDocument::ValueType;

const Value* findField(const JobDocument& job, std::u16string_view name) {
  if (!job.IsObject()) return nullptr;
  for (auto member = job.MemberBegin(); member != job.MemberEnd(); ++member) {
    const std::u16string_view key(member->name.GetString(), member->name.GetStringLength());
    if (key == name) return &member->value;
  }
  return nullptr;
}

}  // namespace

JobDocument parseJob(const std::u16string& jobText) {
  JobDocument job;
  // A zero code unit ends the parser's input early: such a text is no job.
  if (jobText.find(u'\0') != std::u16string::npos) {
    job.SetObject();
    return job;
  }
  // Iterative: deeply nested text from the page must not exhaust the stack.
  job.Parse<rapidjson::kParseIterativeFlag>(jobText.c_str());
  if (job.HasParseError() || !job.IsObject()) job.SetObject();
  return job;
}

bool hasField(const JobDocument& job, std::u16string_view name) { return findField(job, name) != nullptr; }

std::u16string readStringField(const JobDocument& job, std::u16string_view name) {
  const Value* value = findField(job, name);
  if (value == nullptr || !value->IsString()) return {};
  return std::u16string(value->GetString(), value->GetStringLength());
}

bool readFlagField(const JobDocument& job, std::u16string_view name) {
  const Value* value = findField(job, name);
  return value != nullptr && value->IsTrue();
}

std::int32_t readIntField(const JobDocument& job, std::u16string_view name) {
  const Value* value = findField(job, name);
  return value != nullptr && value->IsInt() ? value->GetInt() : 0;
}

}  // namespace cvimp

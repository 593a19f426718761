#include "report/report.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstring>

#include "host/max.h"

namespace cvimp {

namespace {

const char* stageName(ReportStage stage) { return stage == ReportStage::Import ? "import" : "export"; }

bool same(const ReportEntry& entry, ReportStage stage, std::string_view kind, std::string_view subject,
          std::string_view detail) {
  return entry.stage == stage && entry.kind == kind && entry.subject == subject && entry.detail == detail;
}

// The report's place in the scene: app data of the scene's root node under
// the plug-in's class (its global utility's class ID) and a sub-ID of its own.
constexpr Class_ID kReportClass(0x55395f2f, 0x27fc3779);
constexpr SClass_ID kReportSuperClass = GUP_CLASS_ID;
constexpr DWORD kReportSubId = 1;

}  // namespace

void Report::add(ReportStage stage, std::string_view kind, std::string_view subject, std::string_view detail,
                 std::uint32_t count) {
  // Reports hold a handful of entries: a scan is cheaper than an index.
  for (ReportEntry& entry : entries_) {
    if (same(entry, stage, kind, subject, detail)) {
      entry.count += count;
      return;
    }
  }
  entries_.push_back({stage, std::string(kind), std::string(subject), std::string(detail), count});
}

void Report::append(const Report& other) {
  for (const ReportEntry& entry : other.entries_) add(entry.stage, entry.kind, entry.subject, entry.detail, entry.count);
}

std::string Report::summaryLine() const {
  if (entries_.empty()) return "=== Import report: nothing lost ===\n";
  std::vector<std::pair<std::string, std::uint64_t>> kinds;
  std::uint64_t total = 0;
  for (const ReportEntry& entry : entries_) {
    total += entry.count;
    auto found = std::find_if(kinds.begin(), kinds.end(), [&](const auto& kind) { return kind.first == entry.kind; });
    if (found == kinds.end()) {
      kinds.emplace_back(entry.kind, entry.count);
    } else {
      found->second += entry.count;
    }
  }
  std::string line = "=== Import report: " + std::to_string(total) + (total == 1 ? " loss (" : " losses (");
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) line += ", ";
    line += kinds[i].first + ": " + std::to_string(kinds[i].second);
  }
  return line + ") ===\n";
}

std::string Report::table() const {
  if (entries_.empty()) return {};
  const std::vector<std::string> heading = {"stage", "what", "count", "subject", "detail"};
  std::vector<std::vector<std::string>> rows;
  for (const ReportEntry& entry : entries_) {
    rows.push_back({stageName(entry.stage), entry.kind, std::to_string(entry.count), entry.subject, entry.detail});
  }
  std::vector<std::size_t> widths(heading.size());
  for (std::size_t c = 0; c < heading.size(); ++c) {
    widths[c] = heading[c].size();
    for (const auto& row : rows) widths[c] = std::max(widths[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text = " ";
    for (std::size_t c = 0; c < cells.size(); ++c) {
      text += ' ';
      text += cells[c];
      // The last column is not padded: no trailing blanks.
      if (c + 1 < cells.size()) text.append(widths[c] - cells[c].size() + 1, ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::string text = "Report:\n" + line(heading);
  for (const auto& row : rows) text += line(row);
  return text;
}

std::string Report::json() const {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> out(buffer);
  auto text = [&](const std::string& value) {
    out.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
  };
  out.StartArray();
  for (const ReportEntry& entry : entries_) {
    out.StartObject();
    out.Key("stage");
    out.String(stageName(entry.stage));
    out.Key("kind");
    text(entry.kind);
    out.Key("subject");
    text(entry.subject);
    out.Key("detail");
    text(entry.detail);
    out.Key("count");
    out.Uint(entry.count);
    out.EndObject();
  }
  out.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize());
}

bool Report::fromJson(std::string_view text, Report& report) {
  rapidjson::Document document;
  document.Parse(text.data(), text.size());
  if (document.HasParseError() || !document.IsArray()) return false;
  Report read;
  for (const auto& item : document.GetArray()) {
    if (!item.IsObject()) return false;
    const auto stage = item.FindMember("stage");
    const auto count = item.FindMember("count");
    if (stage == item.MemberEnd() || !stage->value.IsString() || count == item.MemberEnd() || !count->value.IsUint()) {
      return false;
    }
    std::string fields[3];
    const char* names[3] = {"kind", "subject", "detail"};
    for (int i = 0; i < 3; ++i) {
      const auto member = item.FindMember(names[i]);
      if (member == item.MemberEnd() || !member->value.IsString()) return false;
      fields[i].assign(member->value.GetString(), member->value.GetStringLength());
    }
    const bool exported = std::strcmp(stage->value.GetString(), "export") == 0;
    read.add(exported ? ReportStage::Export : ReportStage::Import, fields[0], fields[1], fields[2],
             count->value.GetUint());
  }
  report = std::move(read);
  return true;
}

std::string withReport(std::string_view sceneJson, const Report& report) {
  std::string text(sceneJson);
  while (!text.empty() && text.back() != '}') text.pop_back();
  if (text.empty()) return text;
  text.pop_back();
  const bool emptyObject = text.find_last_not_of(" \n\t\r") == text.size() - 1 && text.back() == '{';
  return text + (emptyObject ? "" : ",") + "\"report\":" + report.json() + "}";
}

void storeReportInScene(const Report& report) {
  INode* root = GetCOREInterface()->GetRootNode();
  if (root == nullptr) return;
  const std::string text = report.json();
  void* data = MAX_malloc(text.size());
  if (data == nullptr) return;
  std::memcpy(data, text.data(), text.size());
  root->AddAppDataChunk(kReportClass, kReportSuperClass, kReportSubId, static_cast<DWORD>(text.size()), data);
}

Report reportFromScene() {
  Report report;
  INode* root = GetCOREInterface()->GetRootNode();
  if (root == nullptr) return report;
  const AppDataChunk* chunk = root->GetAppDataChunk(kReportClass, kReportSuperClass, kReportSubId);
  if (chunk == nullptr || chunk->data == nullptr) return report;
  Report::fromJson(std::string_view(static_cast<const char*>(chunk->data), chunk->length), report);
  return report;
}

}  // namespace cvimp

#include "host/journal.h"

#include "host/wstr.h"

namespace host {

void Journal::record(std::string_view call, std::string args) {
  std::lock_guard guard(lock_);
  entries_.push_back({std::string(call), std::move(args)});
}

std::vector<JournalEntry> Journal::entries() const {
  std::lock_guard guard(lock_);
  return entries_;
}

std::vector<JournalEntry> Journal::find(std::string_view call) const {
  std::lock_guard guard(lock_);
  std::vector<JournalEntry> found;
  for (const JournalEntry& entry : entries_) {
    if (entry.call == call) found.push_back(entry);
  }
  return found;
}

std::vector<std::string> Journal::calls() const {
  std::lock_guard guard(lock_);
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const JournalEntry& entry : entries_) names.push_back(entry.call);
  return names;
}

void Journal::clear() {
  std::lock_guard guard(lock_);
  entries_.clear();
}

Journal& journal() {
  static Journal instance;
  return instance;
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string quoted(std::u16string_view text) { return host::quoted(std::string_view(utf16ToUtf8(text))); }

std::string flag(bool value) { return value ? "true" : "false"; }

}  // namespace host

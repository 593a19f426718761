#pragma once
// The stand-in host's record of the calls made into it, in order, so that
// tests can check what the plug-in passed and when.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct JournalEntry {
  std::string call;  // the host operation, e.g. "ProgressStart" or "Mesh::setNumVerts"
  std::string args;  // its arguments as text, e.g. "\"Importing design...\", true"
  friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

class Journal {
 public:
  void record(std::string_view call, std::string args = {});
  std::vector<JournalEntry> entries() const;
  // The entries whose call is `call`, in order.
  std::vector<JournalEntry> find(std::string_view call) const;
  // Just the call names, in order.
  std::vector<std::string> calls() const;
  void clear();

 private:
  mutable std::mutex lock_;
  std::vector<JournalEntry> entries_;
};

Journal& journal();

// Argument texts as the journal writes them.
std::string quoted(std::u16string_view text);
std::string quoted(std::string_view text);
std::string flag(bool value);

}  // namespace host

#pragma once
// cvimp window: the import window on the stand-in host, running jobs from
// its page until it is closed.
#include <string>

namespace cvimp {

struct WindowOptions {
  std::string url;          // empty: the platform's page
  std::string downloadDir;  // empty: the default folder
};

int runWindow(const WindowOptions& options);

}  // namespace cvimp

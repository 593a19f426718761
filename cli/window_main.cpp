// cvimp-window: the import window on the stand-in host, with its embedded
// browser; what `cvimp window` runs.
#include <CLI/CLI.hpp>

#include "cli/window_command.h"

int main(int argc, char** argv) {
  cvimp::WindowOptions options;
  CLI::App app{"cvimp-window: the import window and its page, on the stand-in host"};
  app.add_option("--url", options.url, "Show this page instead of the platform's");
  app.add_option("--download-dir", options.downloadDir, "The host's download directory");
  CLI11_PARSE(app, argc, argv);
  return cvimp::runWindow(options);
}

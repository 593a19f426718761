// check_layers [--print] ROOT [RULES]: fails when an include or a CMake link
// points the wrong way through the project's layers.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "tools/check_layers/layer_rules.h"

int main(int argc, char** argv) {
  bool print = false;
  int first = 1;
  if (argc > 1 && std::string_view(argv[1]) == "--print") {
    print = true;
    first = 2;
  }
  if (argc - first < 1 || argc - first > 2) {
    std::fprintf(stderr,
                 "usage: check_layers [--print] ROOT [RULES]\n"
                 "RULES defaults to ROOT/tools/check_layers/layers.txt\n");
    return 2;
  }
  const std::filesystem::path root = argv[first];
  const std::filesystem::path rulesFile =
      argc - first == 2 ? std::filesystem::path(argv[first + 1]) : root / "tools/check_layers/layers.txt";

  cvimp::layers::Rules rules;
  std::string error;
  if (!cvimp::layers::loadRules(rulesFile, rules, error)) {
    std::fprintf(stderr, "check_layers: %s\n", error.c_str());
    return 2;
  }
  if (print) {
    std::fputs(cvimp::layers::describeLayers(rules).c_str(), stdout);
    return 0;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) {
    std::fprintf(stderr, "check_layers: %s is not a folder\n", root.string().c_str());
    return 2;
  }
  cvimp::layers::Report report;
  if (!cvimp::layers::checkTree(root, rules, report, error)) {
    std::fprintf(stderr, "check_layers: %s\n", error.c_str());
    return 2;
  }
  for (const cvimp::layers::Violation& violation : report.violations)
    std::printf("%s\n", cvimp::layers::formatViolation(violation).c_str());
  if (!report.violations.empty()) {
    std::printf("Layers: %zu violations in %zu files checked\n", report.violations.size(), report.files);
    return 1;
  }
  std::printf("Layers: %zu files, %zu includes, %zu links checked; no violations\n", report.files, report.includes,
              report.links);
  return 0;
}

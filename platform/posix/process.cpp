#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/platform.h"

namespace cvimp::platform {

std::string executablePath() {
  std::error_code failure;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", failure);
  return failure ? std::string() : path.string();
}

std::string runInPlaceOfThisProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  return std::strerror(errno);
}

ProcessUsage processUsage() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_minflt + usage.ru_majflt};
}

double machineBusySeconds() {
  std::ifstream in("/proc/stat");
  std::string label;
  unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  in >> label >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  const long ticks = ::sysconf(_SC_CLK_TCK);
  if (!in || label != "cpu" || ticks <= 0) return 0;
  return static_cast<double>(user + nice + system + irq + softirq + steal) / static_cast<double>(ticks);
}

void releaseFreeMemory() { ::malloc_trim(0); }

}  // namespace cvimp::platform

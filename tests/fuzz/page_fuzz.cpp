// libFuzzer harness: what a page posts, as the browser layer receives it.
// The first line is the address of the page that sent it, the rest the
// message ({id, method, params}). It is read as the browser layer reads
// it, judged by the bridge's page rule, and a "HandleEventFunc" call that
// passes has its job text taken out and run in the fuzz job environment,
// without the browser engine. Built by `make fuzz` (clang).
#include <string>

#include "bridge/page_address.h"
#include "tests/bridge/bridge_internals.h"
#include "tests/bridge/webview/webview_internals.h"
#include "tests/fuzz/job_environment.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cvimp::fuzz::jobEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t end = input.find('\n');
  const std::string address = input.substr(0, end);
  const std::string message = end == std::string::npos ? std::string() : input.substr(end + 1);
  cvimp::originOf(address);
  const bool admitted = cvimp::isBridgePage(address, "http://127.0.0.1:8080/pub/site/custom/3dsmax");
  const cvimp::webview::PageCall call = cvimp::webview::readPageCall(message);
  if (!admitted || !call.id || !call.refusal.empty() || call.method != "HandleEventFunc") return 0;
  std::u16string jobText;
  if (cvimp::jobTextOf(call.params, jobText)) cvimp::fuzz::jobEnvironment().run(jobText);
  return 0;
}

#pragma once
// A page's call as the runtime posts it, {id, method, params} in JSON, read
// without recursion and within bounds: what a hostile page sends can cost
// the host neither its stack nor its memory. No engine needed.
#include <optional>
#include <string>

namespace cvimp::webview {

// A call as the page sent it. No id: the message is dropped.
struct PageCall {
  std::optional<std::string> id;
  std::string method;
  std::string params = "[]";  // the params array as the page wrote it
  std::string refusal;        // why the call is refused; empty when it is not
};

// Reads a message within kMaxMessageBytes and kMaxMessageDepth (webview.h).
PageCall readPageCall(const std::string& message);

}  // namespace cvimp::webview

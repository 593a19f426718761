#include "bridge/page_address.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/platform.h"

#ifndef CVIMP_PLATFORM_DOMAIN
#error "CVIMP_PLATFORM_DOMAIN names the platform's domain"
#endif

namespace cvimp {

namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool isDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

std::string platformDomain() { return CVIMP_PLATFORM_DOMAIN; }

std::string pageAddress(const std::string& domain) {
  const std::optional<std::string> environment = platform::environmentVariable("CVIMP_IMPORT_ENV");
  const std::string subDomain = environment && !environment->empty() ? *environment : "www";
  return "https://" + subDomain + "." + domain + "/pub/site/custom/3dsmax";
}

std::string platformPageAddress() { return pageAddress(platformDomain()); }

std::string originOf(const std::string& address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string::npos || colon == 0 || std::isalpha(static_cast<unsigned char>(address[0])) == 0) return "";
  const std::string scheme = lowerCase(address.substr(0, colon));
  const std::size_t pathEnd = address.find_first_of("?#", colon);
  if (scheme == "file") return "file:" + address.substr(colon + 1, pathEnd - colon - 1);
  if (address.compare(colon + 1, 2, "//") != 0) return "";
  // Browsers read a backslash as a slash in these addresses.
  const std::size_t begin = colon + 3;
  const std::size_t end = std::min(address.find_first_of("/\\?#", begin), address.size());
  std::string authority = address.substr(begin, end - begin);
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  // An IPv6 host is in brackets; the port follows the last colon after them.
  const std::size_t bracket = authority.rfind(']');
  const std::size_t portColon = authority.find(':', bracket == std::string::npos ? 0 : bracket);
  std::string host = lowerCase(authority.substr(0, portColon));
  std::string port = portColon == std::string::npos ? "" : authority.substr(portColon + 1);
  if (host.empty() || !isDigits(port) || port.size() > 5) return "";
  if (!port.empty()) port.erase(0, std::min(port.find_first_not_of('0'), port.size() - 1));
  if ((scheme == "http" && port == "80") || (scheme == "https" && port == "443")) port.clear();
  return scheme + "://" + host + (port.empty() ? "" : ":" + port);
}

bool isBridgePage(const std::string& address, const std::string& opened) {
  const std::string origin = originOf(address);
  if (origin.empty()) return false;
  if (origin == originOf(opened)) return true;
  const std::string secure = "https://";
  if (!origin.starts_with(secure)) return false;
  const std::string host = origin.substr(secure.size(), origin.find(':', secure.size()) - secure.size());
  const std::string domain = lowerCase(platformDomain());
  return host == domain || host.ends_with("." + domain);
}

}  // namespace cvimp

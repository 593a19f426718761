#include "bridge/page_address.h"

#include <cstdlib>

#ifndef CVIMP_PLATFORM_DOMAIN
#error "CVIMP_PLATFORM_DOMAIN names the platform's domain"
#endif

namespace cvimp {

std::string platformDomain() { return CVIMP_PLATFORM_DOMAIN; }

std::string pageAddress(const std::string& domain) {
  const char* environment = std::getenv("CVIMP_IMPORT_ENV");
  const std::string subDomain = environment != nullptr && *environment != '\0' ? environment : "www";
  return "https://" + subDomain + "." + domain + "/pub/site/custom/3dsmax";
}

std::string platformPageAddress() { return pageAddress(platformDomain()); }

}  // namespace cvimp

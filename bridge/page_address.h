#pragma once
// The address of the platform's 3ds Max page, which the import window
// shows. Needs no window: `cvimp serve` maps it to a local page.
#include <string>

namespace cvimp {

// "https://" + sub-domain ("CVIMP_IMPORT_ENV", or "www") + "." + `domain`
// + "/pub/site/custom/3dsmax".
std::string pageAddress(const std::string& domain);
// The platform's domain this build was configured with.
std::string platformDomain();
// The page the import window shows by default: pageAddress(platformDomain()).
std::string platformPageAddress();

}  // namespace cvimp

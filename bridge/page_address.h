#pragma once
// The address of the platform's 3ds Max page, which the import window
// shows, and which pages may use the page bridge. Needs no window: `cvimp
// serve` maps the page to a local one.
#include <string>

namespace cvimp {

// "https://" + sub-domain ("CVIMP_IMPORT_ENV", or "www") + "." + `domain`
// + "/pub/site/custom/3dsmax".
std::string pageAddress(const std::string& domain);
// The platform's domain this build was configured with.
std::string platformDomain();
// The page the import window shows by default: pageAddress(platformDomain()).
std::string platformPageAddress();

// The origin of an address: "scheme://host[:port]", scheme and host in
// lower case, the scheme's default port left out. A file is an origin of
// its own: "file:" and its path. Empty for an address without a host
// (about:, data:, ...).
std::string originOf(const std::string& address);
// Whether the page at `address` may call the bridge and be shown in the
// import window: an https:// page of the platform's domain or of any
// sub-domain of it (sign-in and environments move between them), or a page
// of the origin of `opened`, the address the window was opened on after
// the browser map (for a file, that one file).
bool isBridgePage(const std::string& address, const std::string& opened);

}  // namespace cvimp

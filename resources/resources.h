#pragma once
// The plug-in's resources as data: the string table, the accelerator
// table and the dialog templates, gathered in the directory the module
// hands to the host.
#include <span>
#include <string_view>

#include "host/max.h"
#include "resources/resource_ids.h"

namespace cvimp::resources {

std::span<const host::StringTable> stringTables();
std::span<const host::AcceleratorResource> acceleratorTables();
std::span<const host::DialogResource> dialogs();
const host::ResourceDirectory& directory();

// The https address of a page on the platform's main web host (a build
// setting), e.g. "/festatic/user_agreement".
std::u16string_view userAgreementAddress();
std::u16string_view helpArticleAddress();

}  // namespace cvimp::resources

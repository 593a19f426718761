#pragma once
// Parameters of a host parameter block by internal name.
#include <optional>
#include <string_view>

#include "host/max.h"

namespace cvimp {

// The ID of the first parameter whose internal name equals `name` code unit
// by code unit; none when the block has no such parameter (or is null).
std::optional<ParamID> findParamId(IParamBlock2* block, std::u16string_view name);

}  // namespace cvimp

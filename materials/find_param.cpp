#include "materials/find_param.h"

namespace cvimp {

std::optional<ParamID> findParamId(IParamBlock2* block, std::u16string_view name) {
  if (block == nullptr) return std::nullopt;
  for (int index = 0; index < block->NumParams(); ++index) {
    const ParamID id = block->IndextoID(index);
    const ParamDef& definition = block->GetParamDef(id);
    if (definition.int_name != nullptr && name == definition.int_name) return id;
  }
  return std::nullopt;
}

}  // namespace cvimp

#include "plugin/module_instance.h"

#include <array>

namespace {

HINSTANCE savedInstance = nullptr;
std::array<MCHAR, 512> stringBuffer{};

}  // namespace

HINSTANCE moduleInstance() { return savedInstance; }

void setModuleInstance(HINSTANCE instance) { savedInstance = instance; }

const MCHAR* loadResourceString(int id) {
  if (savedInstance == nullptr) return nullptr;
  if (LoadStringW(savedInstance, static_cast<UINT>(id), stringBuffer.data(), static_cast<int>(stringBuffer.size())) ==
      0)
    return nullptr;
  return stringBuffer.data();
}

#include "resources/resources.h"

namespace cvimp::resources {
namespace {

constexpr BYTE kShiftKey = FVIRTKEY | FNOINVERT | FSHIFT;

constexpr ACCEL kAccelerators[] = {
    {kShiftKey, 'A', ID_ABOUT},
    {kShiftKey, 'H', ID_HELP},
    {kShiftKey, 'K', ID_IMPORT},
    {kShiftKey | host::kAcceleratorEndMark, 'Q', ID_QUADRIFY},
};

constexpr host::AcceleratorResource kAcceleratorTables[] = {{IDR_ACCELERATOR, kAccelerators}};

}  // namespace

std::span<const host::AcceleratorResource> acceleratorTables() { return kAcceleratorTables; }

}  // namespace cvimp::resources

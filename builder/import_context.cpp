#include "builder/import_context.h"

#include "host/max.h"

namespace cvimp {

float importUnitFactor() { return static_cast<float>(1.0 / GetSystemUnitScale(UNITS_MILLIMETERS)); }

}  // namespace cvimp

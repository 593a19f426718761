#include <locale.h>

#include <cstdlib>

#include "platform/platform.h"

namespace cvimp::platform {
namespace {

// The "C" locale as a fixed locale object: numbers read with "." whatever
// the process locale is, without touching it from worker threads.
locale_t numberLocale() {
  struct Holder {
    locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    ~Holder() {
      if (locale != static_cast<locale_t>(nullptr)) freelocale(locale);
    }
  };
  static const Holder holder;
  return holder.locale;
}

}  // namespace

double parseDoubleC(const char* text, char** end) { return strtod_l(text, end, numberLocale()); }

long long parseIntegerC(const char* text, char** end) { return strtoll_l(text, end, 10, numberLocale()); }

}  // namespace cvimp::platform

// strtod and strtoll as glibc reads numbers in the "C" locale, done here so
// that a scene reads the same with every C library (MinGW's reads "0x10" as
// 0 and knows no inf or nan) and never depends on the process locale.
// std::from_chars does the digits and the rounding; the forms around them
// are read here.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "platform/platform.h"

namespace cvimp::platform {
namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isLetter(char c) { return lower(c) >= 'a' && lower(c) <= 'z'; }
bool isHexDigit(char c) { return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f'); }

// Stops at the first difference, so never reads past the text's end.
bool startsWithWord(const char* text, std::string_view lowerCaseWord) {
  for (std::size_t i = 0; i < lowerCaseWord.size(); ++i) {
    if (lower(text[i]) != lowerCaseWord[i]) return false;
  }
  return true;
}

// from_chars needs the end of its input. A number uses only these bytes, so
// stopping at the first other one keeps the scan as short as the number
// instead of running to the end of a large text.
const char* numberBound(const char* p) {
  while (isDigit(*p) || isLetter(*p) || *p == '.' || *p == '+' || *p == '-') ++p;
  return p;
}

// from_chars leaves the value alone when it is out of range. Out of range is
// above about 1.8e308 or below about 2.5e-324, so the text tells which:
// whether the leading significant digit, moved by the exponent, stands above
// the units.
bool tooLarge(const char* p, const char* end, bool hex) {
  const long long exponentStepsPerDigit = hex ? 4 : 1;  // hex exponents count powers of two
  const char exponentMark = hex ? 'p' : 'e';
  long long place = 0;  // of the leading significant digit; 1 for the units
  bool inFraction = false, significant = false;
  for (; p < end && lower(*p) != exponentMark; ++p) {
    if (*p == '.') {
      inFraction = true;
    } else if (!significant && *p == '0') {
      if (inFraction) --place;
    } else {
      significant = true;
      if (!inFraction) ++place;
    }
  }
  long long exponent = 0;
  bool negativeExponent = false;
  if (p < end) {
    ++p;
    negativeExponent = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Capped far beyond any double, and low enough that the sum below cannot overflow.
    for (; p < end; ++p) exponent = std::min(exponent * 10 + (*p - '0'), 1'000'000'000'000LL);
  }
  return place * exponentStepsPerDigit + (negativeExponent ? -exponent : exponent) > 0;
}

// The digits of a number, with a leading digit (or a point and a digit) known
// to be there; hexadecimal ones without their "0x".
const char* readDigits(const char* p, std::chars_format format, double& value) {
  const auto [last, error] = std::from_chars(p, numberBound(p), value, format);
  if (error == std::errc::result_out_of_range) {
    value = tooLarge(p, last, format == std::chars_format::hex) ? HUGE_VAL : 0.0;
  }
  return last;
}

}  // namespace

double parseDoubleC(const char* text, char** end) {
  const char* p = text;
  while (isSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;

  double magnitude = 0;
  const char* last = text;  // strtod's end when no number is there
  if (startsWithWord(p, "inf")) {
    magnitude = HUGE_VAL;
    last = p + (startsWithWord(p + 3, "inity") ? 8 : 3);
  } else if (startsWithWord(p, "nan")) {
    magnitude = std::numeric_limits<double>::quiet_NaN();
    last = p + 3;
    // "nan(chars)" only when the parenthesis closes; otherwise the "nan" alone.
    if (*last == '(') {
      const char* q = last + 1;
      while (isDigit(*q) || isLetter(*q) || *q == '_') ++q;
      if (*q == ')') last = q + 1;
    }
  } else if (p[0] == '0' && lower(p[1]) == 'x' && (isHexDigit(p[2]) || (p[2] == '.' && isHexDigit(p[3])))) {
    last = readDigits(p + 2, std::chars_format::hex, magnitude);
  } else if (isDigit(*p) || (*p == '.' && isDigit(p[1]))) {
    // Also "0x" without hex digits after it: the "0" alone is the number.
    last = readDigits(p, std::chars_format::general, magnitude);
  }
  if (end != nullptr) *end = const_cast<char*>(last);
  if (last == text) return 0.0;  // a lone sign gives +0, not -0
  // copysign keeps the sign of a nan too, as glibc gives "-nan".
  return std::copysign(magnitude, negative ? -1.0 : 1.0);
}

long long parseIntegerC(const char* text, char** end) {
  const char* p = text;
  while (isSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (!isDigit(*p)) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return 0;
  }
  // The magnitude saturates at the type's limit for its sign, as strtoll's
  // result does; all the digits are read either way.
  const unsigned long long limit =
      static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + (negative ? 1 : 0);
  unsigned long long magnitude = 0;
  for (; isDigit(*p); ++p) {
    const auto digit = static_cast<unsigned long long>(*p - '0');
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
  }
  if (end != nullptr) *end = const_cast<char*>(p);
  return static_cast<long long>(negative ? 0ULL - magnitude : magnitude);
}

}  // namespace cvimp::platform

// Simple upper case of single UTF-16 code units, taken from ICU once and kept as a table,
// so the hot search loop never calls into ICU.
#pragma once

#include <cstdint>
#include <span>

namespace moratutor::detail {

// 65,536 entries: the upper case of every code unit. Surrogates, and units whose upper case
// lies outside the Basic Multilingual Plane, map to themselves, so the length never changes.
const char16_t* UpperTable();

// Every code unit whose upper case is `upper` (empty when none is).
std::span<const char16_t> UnitsWithUpper(char16_t upper);

}  // namespace moratutor::detail

#pragma once
// Numbers typed into the tool dialogs: read leniently, limited, and shown again the way the
// dialogs show them.
#include <cstdint>
#include <string>
#include <string_view>

namespace qvtk {

// A whole number as typed ("  12", "-5"); text that is not one keeps `previous`. Numbers beyond
// the int range are limited to it.
int32_t TypedInteger(std::string_view text, int32_t previous);

// A decimal number as typed ("12.5", "-0.25", "1e2"); text that is not a finite number keeps
// `previous`.
double TypedDecimal(std::string_view text, double previous);

// A typed decimal value limited to -limit .. limit and stored in thousandths, rounded to the
// nearest; text that is not a finite number keeps `previous` (thousandths).
int32_t TypedThousandths(std::string_view text, int32_t previous, double limit);

// Thousandths shown as "%d" when whole, else "%0.3f".
std::string ThousandthsText(int32_t thousandths);

} // namespace qvtk

#include "analysis/typed_values.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qvtk {

namespace {

std::string Trimmed(std::string_view text) {
    size_t a = text.find_first_not_of(" \t\r\n");
    if (a == std::string_view::npos) return {};
    size_t b = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(a, b - a + 1));
}

} // namespace

int32_t TypedInteger(std::string_view text, int32_t previous) {
    const std::string s = Trimmed(text);
    if (s.empty()) return previous;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (!end || *end != 0) return previous;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return int32_t(v);
}

double TypedDecimal(std::string_view text, double previous) {
    const std::string s = Trimmed(text);
    if (s.empty()) return previous;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (!end || *end != 0 || !std::isfinite(v)) return previous;
    return v;
}

int32_t TypedThousandths(std::string_view text, int32_t previous, double limit) {
    const double v = TypedDecimal(text, std::nan(""));
    if (std::isnan(v)) return previous;
    const double limited = v < -limit ? -limit : (v > limit ? limit : v);
    return int32_t(std::llround(limited * 1000.0));
}

std::string ThousandthsText(int32_t thousandths) {
    char text[32];
    if (thousandths % 1000 == 0)
        std::snprintf(text, sizeof text, "%d", thousandths / 1000);
    else
        std::snprintf(text, sizeof text, "%0.3f", thousandths * 0.001);
    return text;
}

} // namespace qvtk

#include "analysis/af_map.h"

#include <cmath>

#include "analysis/channel_list.h"
#include "data/settings.h"

namespace qvtk {

AfMapOptions AfMapOptionsFromSettings() {
    AfMapOptions o;
    o.yColumn = g_settings.AFmap_YCH;
    o.afColumn = g_settings.AFmap_AFCH;
    o.switchColumn = g_settings.AFmap_SWCH;
    o.threshold = g_settings.AFmap_SWTHS;
    return o;
}

AfMapColumns ResolveAfMapColumns(FileSlot slot, const AfMapOptions& o) {
    AfMapColumns c;
    c.ne = FindColumnByCode(slot, kCodeNe);
    c.y = o.yColumn;
    c.af = o.afColumn;
    c.sw = o.switchColumn == 0 ? -1 : o.switchColumn;
    c.drawable = UsableColumn(slot, c.ne) && UsableColumn(slot, c.y) && UsableColumn(slot, c.af) &&
                 (c.sw < 0 || UsableColumn(slot, c.sw));
    return c;
}

void SetAfMapEasyDefaults() {
    const int tps = FindColumnByCode(0, kCodeTPS), laf = FindColumnByCode(0, kCodeLAF1);
    g_settings.AFmap_YCH = tps >= 0 ? tps : 0;
    g_settings.AFmap_AFCH = laf >= 0 ? laf : 0;
    g_settings.AFmap_SWCH = 0;
    g_settings.AFmap_SWTHS = 2.5f;
}

int ClampAfWindowLow(int low) {
    return std::clamp(low, kAfWindowLowMin, kAfWindowLowMax);
}

int ClampAfWindowWidth(int width) {
    return std::clamp(width, 0, kAfWindowWidthMax);
}

int64_t AfThreshold100(float threshold) {
    const double t = double(threshold) * 100.0;
    if (!std::isfinite(t)) return t > 0 ? INT64_MAX : INT64_MIN;
    if (t > 9.0e18) return INT64_MAX;
    if (t < -9.0e18) return INT64_MIN;
    return std::llround(t);
}

} // namespace qvtk

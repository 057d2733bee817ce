#pragma once
// ChannelCode values: the type of a channel, independent of the column it sits in.
#include <cstdint>

namespace qvtk {

using ChannelCode = uint16_t;

constexpr ChannelCode kCodeNone = 0;
constexpr ChannelCode kCodeVB = 1; // in kind-16 files also the lap-marker carrier
constexpr ChannelCode kCodeNe = 3;
constexpr ChannelCode kCodeTPS = 4;
constexpr ChannelCode kCodeSlipInputX = 5;
constexpr ChannelCode kCodeVFW = 6;
constexpr ChannelCode kCodeVRW = 7;
constexpr ChannelCode kCodeSlip = 8;
constexpr ChannelCode kCodeFrSUS = 9;
constexpr ChannelCode kCodeRrSUS = 10;
constexpr ChannelCode kCodeLAF1 = 11;
constexpr ChannelCode kCodeLAF2 = 12;
constexpr ChannelCode kCodeGearInput = 15;
constexpr ChannelCode kCodeAUX1 = 17;
constexpr ChannelCode kCodeAUX2 = 18;
constexpr ChannelCode kCodeVFrSUS = 19;
constexpr ChannelCode kCodeVRrSUS = 20;
constexpr ChannelCode kCodeFrontGpsSlip = 21;
constexpr ChannelCode kCodeRearGpsSlip = 22;
constexpr ChannelCode kCodeReducRat = 23;
constexpr ChannelCode kCodeSlipInputY = 32;
constexpr ChannelCode kCodeShifter = 48;
constexpr ChannelCode kCodeGpsPosition = 64;
constexpr ChannelCode kCodeGpsByte = 65;
constexpr ChannelCode kCodeGpsSpeed = 66;
constexpr ChannelCode kCodeSlipTrigger = 74;
constexpr ChannelCode kCodeStatusFirst = 128;
constexpr ChannelCode kCodeStatusLast = 135;
constexpr ChannelCode kCodeFileNamedFirst = 256;

} // namespace qvtk

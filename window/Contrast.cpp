#include "Contrast.h"

#include <algorithm>
#include <cmath>

namespace window {

namespace {

// One sRGB channel, 0 to 255, as linear light, 0 to 1.
double Linear(std::uint32_t channel) {
  const double c = static_cast<double>(channel & 0xFF) / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

constexpr std::uint32_t kWhiteText = 0x00FFFFFF;

}  // namespace

double RelativeLuminance(std::uint32_t bgr) {
  return 0.2126 * Linear(bgr) + 0.7152 * Linear(bgr >> 8) + 0.0722 * Linear(bgr >> 16);
}

double ContrastRatio(std::uint32_t a, std::uint32_t b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::uint32_t ReadableTextOn(std::uint32_t background) {
  return ContrastRatio(background, kBlack) >= ContrastRatio(background, kWhiteText) ? kBlack : kWhiteText;
}

}  // namespace window

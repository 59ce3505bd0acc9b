// How well one colour reads on another, as WCAG 2 measures it: the ratio of
// their relative luminances (each plus 0.05), from 1:1 (the same colour) to
// 21:1 (black on white). Normal text reads at 4.5:1 or better.
#pragma once
#include <cstdint>

namespace window {

inline constexpr std::uint32_t kBlack = 0x00000000;
inline constexpr double kReadableContrast = 4.5;

// The relative luminance of a colour of the form 0x00BBGGRR: 0 for black, 1 for white.
double RelativeLuminance(std::uint32_t bgr);

// The contrast ratio of two colours of the form 0x00BBGGRR, 1 to 21, whichever is the lighter.
double ContrastRatio(std::uint32_t a, std::uint32_t b);

// The text colour that reads best on `background`: black, or white on dark colours.
std::uint32_t ReadableTextOn(std::uint32_t background);

}  // namespace window

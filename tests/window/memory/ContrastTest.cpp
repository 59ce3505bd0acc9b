// The contrast the labels' text is chosen by, against WCAG's own figures.
#include <gtest/gtest.h>

#include "Contrast.h"
#include "Layout.h"

namespace {

TEST(ContrastTest, RatiosAreWcagsAndTheLabelsColoursTakeBlackText) {
  struct Pair {
    std::uint32_t a, b;
    double ratio;
  };
  // 0x00BBGGRR. #767676 is the lightest grey that still reads on white.
  for (const Pair& p : {Pair{0x000000, 0xFFFFFF, 21.0}, Pair{0xFFFFFF, 0x000000, 21.0},
                        Pair{0xFFFFFF, 0xFFFFFF, 1.0}, Pair{0x767676, 0xFFFFFF, 4.54},
                        Pair{0x0000FF, 0xFFFFFF, 4.00}, Pair{0xFF0000, 0x000000, 2.44}})
    EXPECT_NEAR(window::ContrastRatio(p.a, p.b), p.ratio, 0.01) << std::hex << p.a << " on " << p.b;

  for (std::uint32_t light : {window::kWhite, window::kLightOrange, window::kLightCyan, window::kLightYellow,
                              window::kLightRed, window::kLightGreen}) {
    EXPECT_EQ(window::ReadableTextOn(light), window::kBlack) << std::hex << light;
    EXPECT_GE(window::ContrastRatio(light, window::kBlack), window::kReadableContrast) << std::hex << light;
  }
  // Dark colours take white.
  EXPECT_EQ(window::ReadableTextOn(0x00800000), 0x00FFFFFFu);  // navy
  EXPECT_EQ(window::ReadableTextOn(0x00333333), 0x00FFFFFFu);
}

}  // namespace

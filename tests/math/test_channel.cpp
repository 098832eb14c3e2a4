// Channel value conversions: rounding ties, saturation, NaN and infinities,
// and exhaustive round trips of every 8- and 16-bit code.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "bits.h"
#include "math/channel.h"

namespace {

using kalu7_test::float_from_bits;

const float INF = std::numeric_limits<float>::infinity();
const float NAN_F = std::numeric_limits<float>::quiet_NaN();

struct ToCode {
  float x;
  uint32_t expected;
};

void check(uint32_t (*fn)(float), const ToCode *begin, const ToCode *end) {
  for (const ToCode *c = begin; c != end; ++c)
    EXPECT_EQ(c->expected, fn(c->x)) << kalu7_test::hex_of(c->x);
}

TEST(ChannelToCode, EightBit) {
  const ToCode cases[] = {
      {0.0f, 0},   {-0.0f, 0},    {0.5f, 128},  // 127.5 is a tie: it goes up
      {0.998f, 254}, {1.0f, 255}, {1.5f, 255}, {10000000.0f, 255}, {INF, 255},
      {1e38f, 255},                 // the product overflows to infinity
      {-0.2f, 0},  {-INF, 0},     {NAN_F, 0},  {-NAN_F, 0},
      {float_from_bits(0x7f800001u), 0},  // a signalling NaN pattern
      {float_from_bits(0xffffffffu), 0},
      // Rounded product first, then the half: 0.7f * 255 rounds to 178.5,
      // so 179 (a wider evaluation of x*255 + 0.5 gives 178).
      {0.7f, 179},
      // t at 1: p = 0.49999997, and p + 0.5 ties up to 1.0 exactly.
      {0x1.0101p-9f, 1}, {0x1.0100fep-9f, 0},
      // t at 256: saturated, not 256; just below, truncated to 255.
      {0x1.00808p+0f, 255}, {0x1.00807ep+0f, 255},
      {float_from_bits(1), 0},  // the smallest subnormal
  };
  check(channel_to_u8, std::begin(cases), std::end(cases));
}

TEST(ChannelToCode, SixteenBit) {
  const ToCode cases[] = {
      {0.0f, 0},        {-0.0f, 0},       {0.5f, 32768},   {0.998f, 65404},
      {1.0f, 65535},    {40000.0f, 65535}, {INF, 65535},   {-INF, 0},
      {NAN_F, 0},       {-1.0f, 0},
      {0.7f, 45875},    // 45874.5 before the half; 45874 in a wider evaluation
      {0x1.0001p-17f, 1}, {0x1.0000fep-17f, 0},
      {0x1.00008p+0f, 65535}, {0x1.00007ep+0f, 65535},
  };
  check(channel_to_u16, std::begin(cases), std::end(cases));
}

TEST(ChannelToCode, ThirtyOneBit) {
  const ToCode cases[] = {
      {0.25f, 536870912},
      {0.5f, 1073741824},
      {0x1.fffffep-1f, 2147483520},  // 0.99999994: near full scale codes step by 128
      {1.0f, 2147483647},            // 2^31 is one above the largest code
      {1.5f, 2147483647},
      {INF, 2147483647},
      {3e38f, 2147483647},
      {-1.0f, 0},
      {-INF, 0},
      {NAN_F, 0},
      {5 * 0x1p-31f, 5},  // 5.5 truncates to 5
      // From 2^23 to 2^24 the half makes a tie that goes to the even code.
      {8388609 * 0x1p-31f, 8388610},
      {8388610 * 0x1p-31f, 8388610},
      {8388611 * 0x1p-31f, 8388612},
      // From 2^24 on the half vanishes.
      {0x1.000002p24f * 0x1p-31f, 16777218},
      {0.25f * 0x1p-31f, 0},
  };
  check(channel_to_u31, std::begin(cases), std::end(cases));
}

// Over a sweep of float patterns of both signs: results stay in range,
// never decrease as the value grows, every negative value and every NaN gives
// 0. Under the sanitizer build this also shows that no argument reaches an
// out-of-range float-to-integer conversion.
TEST(ChannelToCode, SweepStaysInRangeAndMonotonic) {
  struct Width {
    uint32_t (*fn)(float);
    uint32_t max;
  } widths[] = {{channel_to_u8, 255}, {channel_to_u16, 65535}, {channel_to_u31, 2147483647}};
  for (const Width &w : widths) {
    uint32_t last = 0;
    // Positive patterns ascend in value, up to 0x7f800000 (+inf); every
    // 997th pattern and the last one.
    for (uint32_t b = 0;;) {
      const uint32_t r = w.fn(float_from_bits(b));
      ASSERT_LE(r, w.max) << b;
      ASSERT_GE(r, last) << b;
      last = r;
      if (b == 0x7f800000u) break;
      b = 0x7f800000u - b > 997 ? b + 997 : 0x7f800000u;
    }
    EXPECT_EQ(w.max, last);
    for (uint64_t b = 0x80000000u; b <= 0xff800000u; b += 1009)
      ASSERT_EQ(0u, w.fn(float_from_bits(static_cast<uint32_t>(b)))) << b;
    for (uint64_t b = 0x7f800001u; b <= 0x7fffffffu; b += 4093) {
      ASSERT_EQ(0u, w.fn(float_from_bits(static_cast<uint32_t>(b)))) << b;
      ASSERT_EQ(0u, w.fn(float_from_bits(static_cast<uint32_t>(b | 0x80000000u)))) << b;
    }
  }
}

TEST(CodeToChannel, KnownValues) {
  EXPECT_BITS_EQ(0.0f, u8_to_channel(0));
  EXPECT_BITS_EQ(0x1.010102p-8f, u8_to_channel(1));    // 0.003921569
  EXPECT_BITS_EQ(0x1.818182p-7f, u8_to_channel(3));    // a reciprocal would give ...84p-7
  EXPECT_BITS_EQ(0x1.010102p-1f, u8_to_channel(128));  // 0.5019608
  EXPECT_BITS_EQ(1.0f, u8_to_channel(255));

  EXPECT_BITS_EQ(0.0f, u16_to_channel(0));
  EXPECT_BITS_EQ(0x1.0001p-16f, u16_to_channel(1));    // 1.5259022e-05
  EXPECT_BITS_EQ(0x1.0001p-1f, u16_to_channel(32768)); // 0.5000076
  EXPECT_BITS_EQ(1.0f, u16_to_channel(65535));

  EXPECT_BITS_EQ(0.0f, u31_to_channel(0));
  EXPECT_BITS_EQ(0x1p-31f, u31_to_channel(1));
  EXPECT_BITS_EQ(0.5f, u31_to_channel(1073741824));
  EXPECT_BITS_EQ(0x1.fffffep-1f, u31_to_channel(2147483583));  // 1 - 2^-24
  for (uint32_t v : {2147483584u, 2147483647u, 2147483648u, 4294967295u})
    EXPECT_BITS_EQ(1.0f, u31_to_channel(v)) << v;
  // The code itself is rounded to a float, ties to even.
  EXPECT_BITS_EQ(0x1p-7f, u31_to_channel(16777217));             // -> 2^24
  EXPECT_BITS_EQ(0x1.000004p-7f, u31_to_channel(16777219));      // -> 2^24 + 4
}

// Every code: the float is the correctly rounded quotient (a division of
// two floats in double, rounded once to float, is exactly that), and the
// round trip gives the code back.
TEST(CodeToChannel, EveryEightAndSixteenBitCodeRoundTrips) {
  for (uint32_t v = 0; v <= 255; ++v) {
    const float c = u8_to_channel(static_cast<uint8_t>(v));
    ASSERT_BITS_EQ(static_cast<float>(static_cast<double>(v) / 255.0), c) << v;
    ASSERT_EQ(v, channel_to_u8(c)) << v;
  }
  for (uint32_t v = 0; v <= 65535; ++v) {
    const float c = u16_to_channel(static_cast<uint16_t>(v));
    ASSERT_BITS_EQ(static_cast<float>(static_cast<double>(v) / 65535.0), c) << v;
    ASSERT_EQ(v, channel_to_u16(c)) << v;
  }
}

// The 31-bit pair promises no round trip, but where a code is a float its
// trip is exact, and results never leave 0..1.
TEST(CodeToChannel, ThirtyOneBitSamples) {
  for (uint32_t v : {0u, 1u, 255u, 65536u, 8388608u, 16777216u, 1073741824u, 2147483520u})
    EXPECT_EQ(v, channel_to_u31(u31_to_channel(v))) << v;
  float last = 0.0f;
  for (uint64_t v = 0; v <= 0xffffffffu; v += 65521) {
    const float c = u31_to_channel(static_cast<uint32_t>(v));
    ASSERT_GE(c, last) << v;
    ASSERT_LE(c, 1.0f) << v;
    last = c;
  }
}

}  // namespace

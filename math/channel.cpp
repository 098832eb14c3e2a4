#include "math/channel.h"

#include <cmath>

#include "math/fp_check.h"

namespace {

constexpr float U8_SCALE = 255.0f;
constexpr float U16_SCALE = 65535.0f;
constexpr float U31_SCALE = 2147483648.0f;  // 2^31: full scale is one above the largest code
constexpr uint32_t U8_MAX_CODE = 255;
constexpr uint32_t U16_MAX_CODE = 65535;
constexpr uint32_t U31_MAX_CODE = 2147483647;

// The order of the tests matters: NaN and small values are settled first,
// then saturation, both on the float t, so the final conversion only ever
// sees a value in [1, max_code + 1), which always fits.
uint32_t to_code(float x, float scale, uint32_t max_code) {
  const float p = x * scale;
  const float t = p + 0.5f;
  if (std::isnan(t) || t < 1.0f) return 0;
  // max_code + 1 is 2^8, 2^16 or 2^31: exact as a float.
  if (t >= static_cast<float>(max_code + 1u)) return max_code;
  return static_cast<uint32_t>(t);
}

}  // namespace

extern "C" {

uint32_t channel_to_u8(float x) { return to_code(x, U8_SCALE, U8_MAX_CODE); }
uint32_t channel_to_u16(float x) { return to_code(x, U16_SCALE, U16_MAX_CODE); }
uint32_t channel_to_u31(float x) { return to_code(x, U31_SCALE, U31_MAX_CODE); }

// True divisions: a multiplication by a rounded 1/255 differs in the last
// bit for many codes.
float u8_to_channel(uint8_t v) { return static_cast<float>(v) / U8_SCALE; }
float u16_to_channel(uint16_t v) { return static_cast<float>(v) / U16_SCALE; }

float u31_to_channel(uint32_t v) {
  // The conversion rounds to nearest, ties to even; dividing by 2^31 is exact.
  const float q = static_cast<float>(v) / U31_SCALE;
  return q > 1.0f ? 1.0f : q;
}

}  // extern "C"

// Bit-exact comparison helpers for the geometry tests.
//
// The library defines most single-precision results to the last bit, so the
// tests compare bit patterns, not values: +0.0 and -0.0 differ, and a NaN
// equals a NaN with the same payload. Failure messages print every value as
// a hex float next to its raw bits, which is what one needs to see whether a
// result is one ulp off, has the wrong sign of zero or is a different NaN.
//
//   EXPECT_BITS_EQ(expected, actual)     float or double (same type on both sides)
//   ASSERT_BITS_EQ(expected, actual)
//   EXPECT_RECORD_BITS_EQ(expected, actual)
//       any record of types.h (vec3f, quatd, mat4f, ...) or a C array of
//       float / double; reports each differing component by index.
//   bits_of(x)                           the raw pattern as uint32_t / uint64_t
//   float_from_bits(u), double_from_bits(u)
//   hex_of(x)                            "0x1.8p+0 [3fc00000]" style text
//
// Usage: #include "bits.h" (tests/math is on the include path of math_tests).
#ifndef KALU7_TESTS_MATH_BITS_H
#define KALU7_TESTS_MATH_BITS_H

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "math/types.h"

namespace kalu7_test {

inline std::uint32_t bits_of(float x) {
  std::uint32_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

inline std::uint64_t bits_of(double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

inline float float_from_bits(std::uint32_t u) {
  float x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

inline double double_from_bits(std::uint64_t u) {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

// "0x1.8p+0 [3fc00000]"; NaNs print as "nan [7fc00000]".
inline std::string hex_of(float x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a [%08" PRIx32 "]", static_cast<double>(x), bits_of(x));
  return buf;
}

inline std::string hex_of(double x) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%a [%016" PRIx64 "]", x, bits_of(x));
  return buf;
}

template <typename T>
::testing::AssertionResult bits_eq_format(const char* expected_expr, const char* actual_expr,
                                          T expected, T actual) {
  static_assert(std::is_same<T, float>::value || std::is_same<T, double>::value,
                "EXPECT_BITS_EQ compares float with float or double with double");
  if (bits_of(expected) == bits_of(actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "bits differ\n  " << actual_expr << " = " << hex_of(actual) << "\n  expected "
         << expected_expr << " = " << hex_of(expected);
}

// Component arrays of the records: one overload per record type, so the
// record macro works on every type of types.h and on plain arrays.
template <typename T, std::size_t N>
struct components {
  const T* p;
  static constexpr std::size_t size = N;
};

template <typename T, std::size_t N>
components<T, N> comps(const T (&a)[N]) { return {a}; }
inline components<float, 3> comps(const vec3f& r) { return {r.v}; }
inline components<double, 3> comps(const vec3d& r) { return {r.v}; }
inline components<float, 4> comps(const vec4f& r) { return {r.v}; }
inline components<float, 4> comps(const quatf& r) { return {r.v}; }
inline components<double, 4> comps(const quatd& r) { return {r.v}; }
inline components<float, 9> comps(const mat3f& r) { return {r.m}; }
inline components<float, 16> comps(const mat4f& r) { return {r.m}; }
inline components<double, 9> comps(const mat3d& r) { return {r.m}; }
inline components<double, 16> comps(const mat4d& r) { return {r.m}; }
inline components<float, 4> comps(const euler_angles& r) { return {r.v}; }

template <typename A, typename B>
::testing::AssertionResult record_bits_eq_format(const char* expected_expr,
                                                 const char* actual_expr, const A& expected,
                                                 const B& actual) {
  auto e = comps(expected);
  auto a = comps(actual);
  static_assert(std::is_same<decltype(e), decltype(a)>::value,
                "EXPECT_RECORD_BITS_EQ needs records of the same element type and size");
  bool same = true;
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  failure << actual_expr << " differs from " << expected_expr << " in its bits:";
  for (std::size_t i = 0; i < decltype(e)::size; ++i) {
    if (bits_of(e.p[i]) != bits_of(a.p[i])) {
      same = false;
      failure << "\n  [" << i << "] " << hex_of(a.p[i]) << ", expected " << hex_of(e.p[i]);
    }
  }
  if (same) return ::testing::AssertionSuccess();
  return failure;
}

}  // namespace kalu7_test

#define EXPECT_BITS_EQ(expected, actual) \
  EXPECT_PRED_FORMAT2(::kalu7_test::bits_eq_format, expected, actual)
#define ASSERT_BITS_EQ(expected, actual) \
  ASSERT_PRED_FORMAT2(::kalu7_test::bits_eq_format, expected, actual)
#define EXPECT_RECORD_BITS_EQ(expected, actual) \
  EXPECT_PRED_FORMAT2(::kalu7_test::record_bits_eq_format, expected, actual)
#define ASSERT_RECORD_BITS_EQ(expected, actual) \
  ASSERT_PRED_FORMAT2(::kalu7_test::record_bits_eq_format, expected, actual)

#endif

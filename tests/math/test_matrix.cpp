// Matrix basics: fill, identity, tolerance comparison, copy, products,
// scaling and the vector and point transforms, checked to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bits.h"
#include "math/matrix.h"

namespace {

using kalu7_test::bits_of;

// The float and double twins behave alike in everything below that uses
// small integers; one body serves both through these traits.
template <typename T>
struct Ops;

template <>
struct Ops<float> {
  using M3 = mat3f;
  using M4 = mat4f;
  using V3 = vec3f;
  static constexpr auto set3 = mat3f_set;
  static constexpr auto set4 = mat4f_set;
  static constexpr auto identity3 = mat3f_identity;
  static constexpr auto identity4 = mat4f_identity;
  static constexpr auto approx3 = mat3f_approx_equal;
  static constexpr auto approx4 = mat4f_approx_equal;
  static constexpr auto copy3 = mat3f_copy;
  static constexpr auto copy4 = mat4f_copy;
  static constexpr auto mul3 = mat3f_mul;
  static constexpr auto mul4 = mat4f_mul;
  static constexpr auto scale3 = mat3f_scale;
  static constexpr auto scale4 = mat4f_scale;
  static constexpr auto vec_mul3 = vec3f_mul_mat3f;
  static constexpr auto transform = mat4f_transform_point;
};

template <>
struct Ops<double> {
  using M3 = mat3d;
  using M4 = mat4d;
  using V3 = vec3d;
  static constexpr auto set3 = mat3d_set;
  static constexpr auto set4 = mat4d_set;
  static constexpr auto identity3 = mat3d_identity;
  static constexpr auto identity4 = mat4d_identity;
  static constexpr auto approx3 = mat3d_approx_equal;
  static constexpr auto approx4 = mat4d_approx_equal;
  static constexpr auto copy3 = mat3d_copy;
  static constexpr auto copy4 = mat4d_copy;
  static constexpr auto mul3 = mat3d_mul;
  static constexpr auto mul4 = mat4d_mul;
  static constexpr auto scale3 = mat3d_scale;
  static constexpr auto scale4 = mat4d_scale;
  static constexpr auto vec_mul3 = vec3d_mul_mat3d;
  static constexpr auto transform = mat4d_transform_point;
};

template <typename T>
class MatrixTwins : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(MatrixTwins, Precisions);

template <typename M, std::size_t N, typename T>
M make(const T (&e)[N]) {
  M m;
  static_assert(sizeof m.m == sizeof e, "element count");
  for (std::size_t k = 0; k < N; ++k) m.m[k] = e[k];
  return m;
}

// A recognisable 4x4 and 3x3 fill; products below were worked out by hand.
template <typename T>
typename Ops<T>::M4 a4() {
  const T e[16] = {1, 2, 3, 4, 5, 6, 7, 8, -1, 0, 2, -3, 4, -2, 1, 0};
  return make<typename Ops<T>::M4>(e);
}
template <typename T>
typename Ops<T>::M4 b4() {
  const T e[16] = {2, 0, 1, -1, 3, 1, 0, 2, -2, 4, 1, 0, 1, 1, -1, 3};
  return make<typename Ops<T>::M4>(e);
}
template <typename T>
typename Ops<T>::M3 a3() {
  const T e[9] = {1, 2, 3, 0, -1, 4, 5, 2, -2};
  return make<typename Ops<T>::M3>(e);
}
template <typename T>
typename Ops<T>::M3 b3() {
  const T e[9] = {2, 1, 0, -1, 3, 2, 4, 0, 1};
  return make<typename Ops<T>::M3>(e);
}

TYPED_TEST(MatrixTwins, SetFillsStorageOrderAndIdentityHasPositiveZeros) {
  using O = Ops<TypeParam>;
  typename O::M3 m3;
  O::set3(&m3, 0, 1, 2, 3, 4, 5, 6, 7, 8);
  const TypeParam e3[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_RECORD_BITS_EQ(e3, m3.m);
  typename O::M4 m4;
  O::set4(&m4, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const TypeParam e4[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_RECORD_BITS_EQ(e4, m4.m);

  // Start from -0.0 everywhere so a skipped element shows up in the bits.
  for (auto &x : m3.m) x = -TypeParam(0);
  for (auto &x : m4.m) x = -TypeParam(0);
  O::identity3(&m3);
  O::identity4(&m4);
  const TypeParam i3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const TypeParam i4[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_RECORD_BITS_EQ(i3, m3.m);
  EXPECT_RECORD_BITS_EQ(i4, m4.m);
}

// Every element takes part in the comparison: a NaN, or the same infinity on
// both sides (inf - inf is NaN), at any one position makes it fail.
TYPED_TEST(MatrixTwins, ApproxEqualFailsOnNaNOrEqualInfinitiesAtEveryPosition) {
  using O = Ops<TypeParam>;
  const TypeParam nan = std::numeric_limits<TypeParam>::quiet_NaN();
  const TypeParam inf = std::numeric_limits<TypeParam>::infinity();
  const typename O::M4 base4 = a4<TypeParam>();
  const typename O::M3 base3 = a3<TypeParam>();
  EXPECT_EQ(1, O::approx4(&base4, &base4));
  EXPECT_EQ(1, O::approx3(&base3, &base3));
  for (int k = 0; k < 16; ++k) {
    SCOPED_TRACE(k);
    for (TypeParam bad : {nan, inf, -inf}) {
      typename O::M4 x = base4;
      x.m[k] = bad;
      EXPECT_EQ(0, O::approx4(&x, &base4));
      EXPECT_EQ(0, O::approx4(&base4, &x));
      EXPECT_EQ(0, O::approx4(&x, &x));
      if (k < 9) {
        typename O::M3 y = base3;
        y.m[k] = bad;
        EXPECT_EQ(0, O::approx3(&y, &base3));
        EXPECT_EQ(0, O::approx3(&base3, &y));
        EXPECT_EQ(0, O::approx3(&y, &y));
      }
    }
  }
}

struct ToleranceCase {
  double a, b;  // element values (converted to the element type)
  int expected;
};

// Single precision: the float difference, widened, is tested against the
// double 1e-6. The float nearest to 1e-6 lies just below it and passes.
TEST(MatrixApproxEqual, FloatToleranceEdges) {
  const float one_millionth = 1e-6f;  // 0x1.0c6f7ap-20, about 9.99999997e-7
  const float above = std::nextafter(one_millionth, 1.0f);  // about 1.00000011e-6
  const ToleranceCase cases[] = {
      {0.0, 0.0, 1},
      {2e-6, 0.0, 0},
      {5e-7, 0.0, 1},
      {one_millionth, 0.0, 1},
      {0.0, one_millionth, 1},
      {above, 0.0, 0},
      {0.0, above, 0},
      {-0.0, 0.0, 1},
      {1.0, 1.0 + 0x1p-20, 1},  // 9.5e-7 apart
      {1.0, 1.0 + 0x1p-19, 0},  // 1.9e-6 apart
      {1e30, 1e30, 1},
  };
  for (const auto &c : cases) {
    for (int k = 0; k < 16; ++k) {
      SCOPED_TRACE(::testing::Message() << c.a << " vs " << c.b << " at " << k);
      mat4f a, b;
      mat4f_identity(&a);
      mat4f_identity(&b);
      a.m[k] = static_cast<float>(c.a);
      b.m[k] = static_cast<float>(c.b);
      EXPECT_EQ(c.expected, mat4f_approx_equal(&a, &b));
      if (k < 9) {
        mat3f x, y;
        mat3f_identity(&x);
        mat3f_identity(&y);
        x.m[k] = static_cast<float>(c.a);
        y.m[k] = static_cast<float>(c.b);
        EXPECT_EQ(c.expected, mat3f_approx_equal(&x, &y));
      }
    }
  }
}

// Double precision: the test against 1e-15 is strict.
TEST(MatrixApproxEqual, DoubleToleranceEdges) {
  const ToleranceCase cases[] = {
      {1e-15, 0.0, 0},
      {0.0, 1e-15, 0},
      {std::nextafter(1e-15, 0.0), 0.0, 1},
      {0.0, -std::nextafter(1e-15, 0.0), 1},
      {5e-16, 0.0, 1},
      {2e-15, 0.0, 0},
      {1e-6, 0.0, 0},  // what the float variants would accept
  };
  for (const auto &c : cases) {
    for (int k = 0; k < 16; ++k) {
      SCOPED_TRACE(::testing::Message() << c.a << " vs " << c.b << " at " << k);
      mat4d a, b;
      mat4d_identity(&a);
      mat4d_identity(&b);
      a.m[k] = c.a;
      b.m[k] = c.b;
      EXPECT_EQ(c.expected, mat4d_approx_equal(&a, &b));
      if (k < 9) {
        mat3d x, y;
        mat3d_identity(&x);
        mat3d_identity(&y);
        x.m[k] = c.a;
        y.m[k] = c.b;
        EXPECT_EQ(c.expected, mat3d_approx_equal(&x, &y));
      }
    }
  }
}

TYPED_TEST(MatrixTwins, CopyWritesFirstArgumentAndSelfCopyIsHarmless) {
  using O = Ops<TypeParam>;
  const typename O::M4 src4 = a4<TypeParam>();
  typename O::M4 dst4 = b4<TypeParam>();
  O::copy4(&dst4, &src4);
  EXPECT_RECORD_BITS_EQ(a4<TypeParam>(), src4);
  EXPECT_RECORD_BITS_EQ(src4, dst4);
  O::copy4(&dst4, &dst4);
  EXPECT_RECORD_BITS_EQ(src4, dst4);

  const typename O::M3 src3 = a3<TypeParam>();
  typename O::M3 dst3 = b3<TypeParam>();
  O::copy3(&dst3, &src3);
  EXPECT_RECORD_BITS_EQ(a3<TypeParam>(), src3);
  EXPECT_RECORD_BITS_EQ(src3, dst3);
  O::copy3(&dst3, &dst3);
  EXPECT_RECORD_BITS_EQ(src3, dst3);
}

TYPED_TEST(MatrixTwins, ProductsWithEveryAliasing) {
  using O = Ops<TypeParam>;
  using M4 = typename O::M4;
  using M3 = typename O::M3;
  const TypeParam ab4_e[16] = {6, 18, 0, 15, 22, 42, 4, 31, -9, 5, 4, -8, 0, 2, 5, -8};
  const TypeParam aa4_e[16] = {24, 6, 27, 11, 60, 30, 79, 47, -15, 4, -2, -10, -7, -4, 0, -3};
  const M4 ab4 = make<M4>(ab4_e), aa4 = make<M4>(aa4_e);
  const M4 a = a4<TypeParam>(), b = b4<TypeParam>();

  M4 out;
  O::mul4(&a, &b, &out);
  EXPECT_RECORD_BITS_EQ(ab4, out);
  M4 x = a;
  O::mul4(&x, &b, &x);  // out is a
  EXPECT_RECORD_BITS_EQ(ab4, x);
  M4 y = b;
  O::mul4(&a, &y, &y);  // out is b
  EXPECT_RECORD_BITS_EQ(ab4, y);
  M4 z = a;
  O::mul4(&z, &z, &z);  // out is both
  EXPECT_RECORD_BITS_EQ(aa4, z);

  const TypeParam ab3_e[9] = {12, 7, 7, 17, -3, 2, 0, 11, 2};
  const TypeParam aa3_e[9] = {16, 6, 5, 20, 9, -12, -5, 4, 27};
  const TypeParam ba3_e[9] = {2, 3, 10, 9, -1, 5, 9, 10, 10};
  const M3 a_3 = a3<TypeParam>(), b_3 = b3<TypeParam>();
  M3 out3;
  O::mul3(&a_3, &b_3, &out3);
  EXPECT_RECORD_BITS_EQ(make<M3>(ab3_e), out3);
  O::mul3(&b_3, &a_3, &out3);
  EXPECT_RECORD_BITS_EQ(make<M3>(ba3_e), out3);
  M3 x3 = a_3;
  O::mul3(&x3, &b_3, &x3);
  EXPECT_RECORD_BITS_EQ(make<M3>(ab3_e), x3);
  M3 y3 = b_3;
  O::mul3(&a_3, &y3, &y3);
  EXPECT_RECORD_BITS_EQ(make<M3>(ab3_e), y3);
  M3 z3 = a_3;
  O::mul3(&z3, &z3, &z3);
  EXPECT_RECORD_BITS_EQ(make<M3>(aa3_e), z3);
}

// Every sum of products starts from +0, so the identity on either side
// gives a matrix back unchanged except that -0.0 becomes +0.0.
TYPED_TEST(MatrixTwins, IdentityProductTurnsNegativeZeroPositive) {
  using O = Ops<TypeParam>;
  typename O::M4 m = a4<TypeParam>(), id4, out;
  m.m[9] = -TypeParam(0);
  m.m[3] = TypeParam(-0.375);
  O::identity4(&id4);
  typename O::M4 expected = m;
  expected.m[9] = TypeParam(0);
  O::mul4(&id4, &m, &out);
  EXPECT_RECORD_BITS_EQ(expected, out);
  O::mul4(&m, &id4, &out);
  EXPECT_RECORD_BITS_EQ(expected, out);

  typename O::M3 m3 = a3<TypeParam>(), id3, out3;
  m3.m[4] = -TypeParam(0);
  m3.m[8] = -TypeParam(0);
  O::identity3(&id3);
  typename O::M3 expected3 = m3;
  expected3.m[4] = TypeParam(0);
  expected3.m[8] = TypeParam(0);
  O::mul3(&id3, &m3, &out3);
  EXPECT_RECORD_BITS_EQ(expected3, out3);
  O::mul3(&m3, &id3, &out3);
  EXPECT_RECORD_BITS_EQ(expected3, out3);
}

// Probes that tell the evaluation orders apart, with p the precision of T
// (24 or 53 bits):
//   1 + 2^p - 2^p is 0 when summed left to right (the tie 1 + 2^p rounds to
//   2^p), 1 in any other order;
//   x*x + (-x)*x with x = 1 + 2^-k (k = 12 or 27) is 0 when both products
//   are rounded, and nonzero when a fused multiply-add keeps either exact;
//   x + 2^p*x = 2^p + 2^(p-k) + 1 + 2^-k rounds up to 2^p + 2^(p-k) + 2, so
//   minus 2^p it leaves 2^(p-k) + 2, and something else in any other order.
template <typename T>
struct Probe;
template <>
struct Probe<float> {
  static constexpr float BIG = 0x1p24f, X = 1.0f + 0x1p-12f, SUM = 0x1p12f + 2.0f;
};
template <>
struct Probe<double> {
  static constexpr double BIG = 0x1p53, X = 1.0 + 0x1p-27, SUM = 0x1p26 + 2.0;
};

TYPED_TEST(MatrixTwins, ProductSumsInAscendingOrderWithoutFusedMultiplyAdd) {
  using O = Ops<TypeParam>;
  using P = Probe<TypeParam>;
  // Row 0 times column 0: 1*1 + BIG*1 + (-BIG)*1. Row 1 times column 1:
  // x*x + (-x)*x.
  typename O::M3 a3, b3, o3;
  O::set3(&a3, 1, P::BIG, -P::BIG, P::X, -P::X, 0, 0, 0, 1);
  O::set3(&b3, 1, P::X, 0, 1, P::X, 0, 1, 0, 1);
  O::mul3(&a3, &b3, &o3);
  EXPECT_BITS_EQ(TypeParam(0), o3.m[0]);
  EXPECT_BITS_EQ(TypeParam(0), o3.m[4]);

  typename O::M4 a4, b4, o4;
  O::set4(&a4, 1, P::BIG, -P::BIG, 0, P::X, -P::X, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  O::set4(&b4, 1, P::X, 0, 0, 1, P::X, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1);
  O::mul4(&a4, &b4, &o4);
  EXPECT_BITS_EQ(TypeParam(0), o4.m[0]);
  EXPECT_BITS_EQ(TypeParam(0), o4.m[5]);
}

TYPED_TEST(MatrixTwins, ScaleMultipliesEveryElementInPlace) {
  using O = Ops<TypeParam>;
  typename O::M4 m = a4<TypeParam>();
  O::scale4(&m, TypeParam(-0.5));
  const TypeParam e4[16] = {-0.5, -1, -1.5, -2, -2.5, -3, -3.5, -4,
                            0.5,  -0., -1,   1.5, -2,  1,  -0.5, -0.};
  EXPECT_RECORD_BITS_EQ(e4, m.m);
  typename O::M3 m3 = a3<TypeParam>();
  O::scale3(&m3, TypeParam(4));
  const TypeParam e3[9] = {4, 8, 12, 0, -4, 16, 20, 8, -8};
  EXPECT_RECORD_BITS_EQ(e3, m3.m);
}

TYPED_TEST(MatrixTwins, RowVectorTimesMatrix) {
  using O = Ops<TypeParam>;
  const typename O::M3 m = a3<TypeParam>();
  const typename O::V3 v = {{1, -2, 3}};
  typename O::V3 out;
  O::vec_mul3(&v, &m, &out);
  const TypeParam e[3] = {16, 10, -11};
  EXPECT_RECORD_BITS_EQ(e, out.v);
}

TYPED_TEST(MatrixTwins, RowVectorAndPointSumLeftToRightWithoutFusedMultiplyAdd) {
  using O = Ops<TypeParam>;
  using P = Probe<TypeParam>;
  using T = TypeParam;
  // v = (x, x, 1). Column 0 is the order probe, column 1 the multiply-add
  // probe. Column 2: the sum starts from the first product, not from +0, so
  // -0 products stay -0.
  const typename O::V3 v = {{P::X, P::X, 1}};
  const T expected[3] = {P::SUM, 0, -T(0)};
  typename O::M3 m;
  O::set3(&m, 1, P::X, -T(0), P::BIG, -P::X, -T(0), -P::BIG, 0, -T(0));
  typename O::V3 out;
  O::vec_mul3(&v, &m, &out);
  EXPECT_RECORD_BITS_EQ(expected, out.v);

  // The same columns in a point transform, translation -0 or +0, w = 1.
  typename O::M4 m4;
  O::set4(&m4,
          1, P::X, -T(0), 0,
          P::BIG, -P::X, -T(0), 0,
          -P::BIG, 0, -T(0), 0,
          0, 0, -T(0), 1);
  O::transform(&v, &m4, &out);
  EXPECT_RECORD_BITS_EQ(expected, out.v);
}

TYPED_TEST(MatrixTwins, TransformPointHomogeneousW) {
  using O = Ops<TypeParam>;
  using T = TypeParam;
  const typename O::V3 p = {{1, -2, 3}};
  typename O::V3 out;
  typename O::M4 m;

  O::identity4(&m);
  O::transform(&p, &m, &out);
  EXPECT_RECORD_BITS_EQ(p, out);

  // Translation in row 3 and column 3 = (0, 0, 0, 2): half the product.
  const T half_e[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 10, 20, 30, 2};
  m = make<typename O::M4>(half_e);
  O::transform(&p, &m, &out);
  const T half[3] = {6, 6, 16.5};
  EXPECT_RECORD_BITS_EQ(half, out.v);

  // Column 3 all zeros: w is +0, the result is the undivided product,
  // translation included.
  const T zero_e[16] = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1, 0, 10, 20, 30, 0};
  m = make<typename O::M4>(zero_e);
  O::transform(&p, &m, &out);
  const T undivided[3] = {12, 12, 33};
  EXPECT_RECORD_BITS_EQ(undivided, out.v);

  // w = -0: (-1)*0 + (-2)*0 + (-3)*0 + (-0) stays -0, still no division.
  const typename O::V3 q = {{-1, -2, -3}};
  m.m[15] = -T(0);
  O::transform(&q, &m, &out);
  const T undivided_q[3] = {8, 12, 27};
  EXPECT_RECORD_BITS_EQ(undivided_q, out.v);

  // A NaN w divides, so every component is NaN.
  m.m[15] = std::numeric_limits<T>::quiet_NaN();
  O::transform(&p, &m, &out);
  for (T x : out.v) EXPECT_TRUE(std::isnan(x));
}

// Three true divisions, not a multiplication by 1/w: 5/3 in float is
// 0x1.aaaaaap+0, 5 * (1/3) would be 0x1.aaaaacp+0.
TEST(MatrixTransformPoint, DividesRatherThanMultipliesByReciprocal) {
  mat4f m;
  mat4f_identity(&m);
  m.m[15] = 3.0f;
  const vec3f p = {{5.0f, 9.0f, 3.0f}};
  vec3f out;
  mat4f_transform_point(&p, &m, &out);
  EXPECT_BITS_EQ(0x1.aaaaaap+0f, out.v[0]);
  EXPECT_BITS_EQ(3.0f, out.v[1]);
  EXPECT_BITS_EQ(1.0f, out.v[2]);

  mat4d md;
  mat4d_identity(&md);
  md.m[15] = 3.0;
  const vec3d pd = {{5.0, 9.0, 3.0}};
  vec3d outd;
  mat4d_transform_point(&pd, &md, &outd);
  EXPECT_BITS_EQ(5.0 / 3.0, outd.v[0]);
  EXPECT_BITS_EQ(3.0, outd.v[1]);
  EXPECT_BITS_EQ(1.0, outd.v[2]);
}

// M*v with v as a column: the same matrix acts as the transpose of the row
// vector form, so a row-3 translation does not move the point.
TEST(MatrixMulVec4f, ColumnVectorConvention) {
  const vec4f v = {{2.0f, -3.0f, 5.0f, 1.0f}};
  vec4f out;
  mat4f m;

  mat4f_identity(&m);
  m.m[12] = 7.0f;
  m.m[13] = 11.0f;
  m.m[14] = -13.0f;
  mat4f_mul_vec4f(&m, &v, &out);
  // w = 7*2 + 11*(-3) + (-13)*5 + 1 = -83
  const float row_t[4] = {2.0f, -3.0f, 5.0f, -83.0f};
  EXPECT_RECORD_BITS_EQ(row_t, out.v);

  mat4f_identity(&m);
  m.m[3] = 7.0f;
  m.m[7] = 11.0f;
  m.m[11] = -13.0f;
  mat4f_mul_vec4f(&m, &v, &out);
  const float col_t[4] = {9.0f, 8.0f, -8.0f, 1.0f};
  EXPECT_RECORD_BITS_EQ(col_t, out.v);

  mat4f_set(&m, 1, 2, 3, 4, 5, 6, 7, 8, -1, 0, 2, -3, 4, -2, 1, 0);
  mat4f_mul_vec4f(&m, &v, &out);
  const float general[4] = {15.0f, 35.0f, 5.0f, 19.0f};
  EXPECT_RECORD_BITS_EQ(general, out.v);
}

TEST(MatrixMulVec4f, SumsLeftToRightWithoutFusedMultiplyAdd) {
  const float XF = Probe<float>::X;
  mat4f m;
  mat4f_set(&m,
            1, 0x1p24f, -0x1p24f, 0,        // row 0: order probe
            XF, -XF, 0, 0,                  // row 1: multiply-add probe
            0, 0, 0, 0.5f,                  // row 2: the w term comes last
            -0.0f, -0.0f, -0.0f, -0.0f);    // row 3: no +0 start
  const vec4f v = {{XF, XF, 1.0f, 3.0f}};
  vec4f out;
  mat4f_mul_vec4f(&m, &v, &out);
  EXPECT_BITS_EQ(4098.0f, out.v[0]);
  EXPECT_BITS_EQ(0.0f, out.v[1]);
  EXPECT_BITS_EQ(1.5f, out.v[2]);
  EXPECT_BITS_EQ(-0.0f, out.v[3]);
}

}  // namespace

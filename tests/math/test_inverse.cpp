// Determinants, adjugates and inverses: exact bits, the refusal thresholds,
// and the -0.0 that cofactor negation leaves in an inverted identity.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bits.h"
#include "math/inverse.h"
#include "math/matrix.h"

namespace {

using kalu7_test::bits_of;
using kalu7_test::float_from_bits;

template <typename T>
struct Ops;

template <>
struct Ops<float> {
  using M3 = mat3f;
  using M4 = mat4f;
  static constexpr auto det2 = mat2f_determinant;
  static constexpr auto det3 = mat3f_determinant;
  static constexpr auto det4 = mat4f_determinant;
  static constexpr auto adj3 = mat3f_adjugate;
  static constexpr auto adj4 = mat4f_adjugate;
  static constexpr auto inv3 = mat3f_invert;
  static constexpr auto inv4 = mat4f_invert;
  static constexpr auto id3 = mat3f_identity;
  static constexpr auto id4 = mat4f_identity;
  static constexpr double threshold = 1e-6;
};

template <>
struct Ops<double> {
  using M3 = mat3d;
  using M4 = mat4d;
  static constexpr auto det2 = mat2d_determinant;
  static constexpr auto det3 = mat3d_determinant;
  static constexpr auto det4 = mat4d_determinant;
  static constexpr auto adj3 = mat3d_adjugate;
  static constexpr auto adj4 = mat4d_adjugate;
  static constexpr auto inv3 = mat3d_invert;
  static constexpr auto inv4 = mat4d_invert;
  static constexpr auto id3 = mat3d_identity;
  static constexpr auto id4 = mat4d_identity;
  static constexpr double threshold = 1e-15;
};

template <typename T>
class InverseTwins : public ::testing::Test {};
using Precisions = ::testing::Types<float, double>;
TYPED_TEST_SUITE(InverseTwins, Precisions);

template <typename M, typename T, std::size_t N>
M make(const T (&e)[N]) {
  M m;
  static_assert(sizeof m.m == sizeof e, "element count");
  for (std::size_t k = 0; k < N; ++k) m.m[k] = e[k];
  return m;
}

// A destination full of values no inverse produces, to show it untouched.
template <typename M>
M sentinel() {
  M m;
  using T = typename std::remove_reference<decltype(m.m[0])>::type;
  const std::size_t n = sizeof m.m / sizeof m.m[0];
  for (std::size_t k = 0; k < n; ++k) {
    if (k % 3 == 0) m.m[k] = -T(0);
    else if (k % 3 == 1) m.m[k] = std::numeric_limits<T>::quiet_NaN();
    else m.m[k] = T(1234.5) + T(k);
  }
  return m;
}

TYPED_TEST(InverseTwins, SmallDeterminantExamples) {
  using O = Ops<TypeParam>;
  EXPECT_BITS_EQ(TypeParam(7), O::det2(3, 2, 4, 5));
  const TypeParam e[16] = {2, 3, 1, 5, 1, 0, 3, 1, 0, 2, -3, 2, 0, 2, 3, 1};
  const auto m = make<typename O::M4>(e);
  EXPECT_BITS_EQ(TypeParam(1), O::det4(&m));
  const TypeParam e3[9] = {2, -3, 1, 2, 0, -1, 1, 4, 5};  // 2*4 + 3*11 + 8 = 49
  const auto m3 = make<typename O::M3>(e3);
  EXPECT_BITS_EQ(TypeParam(49), O::det3(&m3));
}

// Cofactors at odd row + column are negated zeros: -0.0, not +0.0.
TYPED_TEST(InverseTwins, InverseOfIdentityHasNegativeZerosAtOddPositions) {
  using O = Ops<TypeParam>;
  const TypeParam z = 0, n = -TypeParam(0);
  typename O::M3 i3, r3 = sentinel<typename O::M3>();
  O::id3(&i3);
  O::inv3(&i3, &r3);
  const TypeParam e3[9] = {1, n, z, n, 1, n, z, n, 1};
  EXPECT_RECORD_BITS_EQ(e3, r3.m);

  typename O::M4 i4, r4 = sentinel<typename O::M4>();
  O::id4(&i4);
  O::inv4(&i4, &r4);
  const TypeParam e4[16] = {1, n, z, n, n, 1, n, z, z, n, 1, n, n, z, n, 1};
  EXPECT_RECORD_BITS_EQ(e4, r4.m);

  // diag(2, 4, 8) inverts exactly, with the same zeros.
  const TypeParam d[9] = {2, 0, 0, 0, 4, 0, 0, 0, 8};
  const auto m = make<typename O::M3>(d);
  O::inv3(&m, &r3);
  const TypeParam ed[9] = {0.5, n, z, n, 0.25, n, z, n, 0.125};
  EXPECT_RECORD_BITS_EQ(ed, r3.m);
}

// Only the magnitude of the determinant is tested: a negative one inverts
// like a positive one (a row swap of the matrix above). The zero cofactors
// are then scaled by a negative reciprocal, so each one flips its sign.
TYPED_TEST(InverseTwins, NegativeDeterminantInverts) {
  using O = Ops<TypeParam>;
  const TypeParam d[9] = {0, 4, 0, 2, 0, 0, 0, 0, 8};
  const auto m = make<typename O::M3>(d);
  EXPECT_BITS_EQ(TypeParam(-64), O::det3(&m));
  typename O::M3 r = sentinel<typename O::M3>();
  O::inv3(&m, &r);
  const TypeParam z = 0, n = -TypeParam(0);
  const TypeParam e[9] = {n, 0.5, n, 0.25, n, z, n, z, 0.125};
  EXPECT_RECORD_BITS_EQ(e, r.m);
}

// A refused inverse leaves every bit of dst as it was; a NaN determinant is
// not refused and fills dst with NaN.
TYPED_TEST(InverseTwins, RefusalLeavesDestinationUntouchedAndNaNGoesThrough) {
  using O = Ops<TypeParam>;
  const typename O::M3 s3 = sentinel<typename O::M3>();
  const typename O::M4 s4 = sentinel<typename O::M4>();
  typename O::M3 z3 = {}, r3 = s3;
  typename O::M4 z4 = {}, r4 = s4;
  O::inv3(&z3, &r3);
  O::inv4(&z4, &r4);
  EXPECT_RECORD_BITS_EQ(s3, r3);
  EXPECT_RECORD_BITS_EQ(s4, r4);

  // Rank one: a zero determinant from non-zero entries.
  const TypeParam e[16] = {1, 2, 3, 4, 2, 4, 6, 8, 3, 6, 9, 12, 4, 8, 12, 16};
  const auto rank1 = make<typename O::M4>(e);
  O::inv4(&rank1, &r4);
  EXPECT_RECORD_BITS_EQ(s4, r4);

  O::id3(&z3);
  O::id4(&z4);
  z3.m[4] = std::numeric_limits<TypeParam>::quiet_NaN();
  z4.m[10] = std::numeric_limits<TypeParam>::quiet_NaN();
  O::inv3(&z3, &r3);
  O::inv4(&z4, &r4);
  for (TypeParam x : r3.m) EXPECT_TRUE(std::isnan(x));
  for (TypeParam x : r4.m) EXPECT_TRUE(std::isnan(x));
}

// The threshold edges, with the determinant placed exactly: diag(x, 1, 1)
// and diag(x, 1, 1, 1) have determinant x. The test is strict and, for
// float, made in double: the float nearest to 1e-6 is below the double 1e-6
// and is refused; the next float up is accepted.
TYPED_TEST(InverseTwins, ThresholdEdges) {
  using O = Ops<TypeParam>;
  using T = TypeParam;
  const T at = static_cast<T>(O::threshold);  // for float: just below 1e-6
  const T up = std::nextafter(at, T(1));
  const T down = std::nextafter(at, T(0));
  const bool at_refused = static_cast<double>(at) < O::threshold;
  struct Case {
    T det;
    bool refused;
  } cases[] = {{at, at_refused}, {-at, at_refused}, {up, false},  {-up, false},
               {down, true},     {-down, true},     {T(0), true}, {-T(0), true}};
  if (std::is_same<T, float>::value) EXPECT_TRUE(at_refused);
  else EXPECT_FALSE(at_refused);  // a double determinant of exactly 1e-15 inverts

  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << kalu7_test::hex_of(c.det));
    typename O::M3 m3;
    O::id3(&m3);
    m3.m[0] = c.det;
    typename O::M4 m4;
    O::id4(&m4);
    m4.m[0] = c.det;
    ASSERT_EQ(c.det, O::det3(&m3));  // by value: a -0 here sums to +0
    ASSERT_EQ(c.det, O::det4(&m4));
    const auto s3 = sentinel<typename O::M3>();
    const auto s4 = sentinel<typename O::M4>();
    auto r3 = s3;
    auto r4 = s4;
    O::inv3(&m3, &r3);
    O::inv4(&m4, &r4);
    if (c.refused) {
      EXPECT_RECORD_BITS_EQ(s3, r3);
      EXPECT_RECORD_BITS_EQ(s4, r4);
    } else {
      EXPECT_BITS_EQ(T(1) / c.det, r3.m[0]);
      EXPECT_BITS_EQ(T(1) / c.det, r4.m[0]);
      EXPECT_BITS_EQ(T(1), r3.m[8]);
      EXPECT_BITS_EQ(T(1), r4.m[15]);
    }
  }
}

// Scaled identities near the thresholds: small, well-conditioned matrices
// are refused because the threshold is absolute.
TEST(Inverse, ScaledIdentitiesAroundTheThresholds) {
  struct Case {
    double scale;
    bool refused;
  };
  for (const Case c : {Case{0.01, true}, Case{0.0101, false}}) {
    mat3f m, r = sentinel<mat3f>();
    mat3f_identity(&m);
    mat3f_scale(&m, static_cast<float>(c.scale));
    mat3f_invert(&m, &r);
    EXPECT_EQ(c.refused, std::isnan(r.m[1])) << c.scale;
  }
  // 0.01f cubed is the float nearest to one millionth.
  mat3f m;
  mat3f_identity(&m);
  mat3f_scale(&m, 0.01f);
  EXPECT_BITS_EQ(1e-6f, mat3f_determinant(&m));

  for (const Case c : {Case{0.03, true}, Case{0.032, false}}) {
    mat4f m4, r = sentinel<mat4f>();
    mat4f_identity(&m4);
    mat4f_scale(&m4, static_cast<float>(c.scale));
    mat4f_invert(&m4, &r);
    EXPECT_EQ(c.refused, std::isnan(r.m[1])) << c.scale;
  }
  for (const Case c : {Case{1e-4, true}, Case{1e-3, false}}) {
    mat4d m4, r = sentinel<mat4d>();
    mat4d_identity(&m4);
    mat4d_scale(&m4, c.scale);
    mat4d_invert(&m4, &r);
    EXPECT_EQ(c.refused, std::isnan(r.m[1])) << c.scale;
  }
}

// A general matrix, every result to the bit. The expected values were
// worked out with correctly rounded single and double arithmetic following
// the expansion order step by step; the 4x4 determinant differs in its last
// bits when the minors are laid out naturally instead of transposed
// (-0x1.ee3612p+2 in float), and any fused multiply-add changes several
// elements.
const float M3F[9] = {0.7f, -1.3f, 2.1f, 0.3f, 1.9f, -0.4f, 1.1f, 0.6f, 0.9f};
const float M4F[16] = {0.7f, -1.3f, 2.1f, 0.5f,  0.3f, 1.9f,  -0.4f, 1.7f,
                       1.1f, 0.6f,  0.9f, -0.8f, 0.2f, -1.5f, 0.35f, 1.25f};

TEST(Inverse, GeneralFloatMatrixToTheBit) {
  const mat3f m3 = make<mat3f>(M3F);
  const mat4f m4 = make<mat4f>(M4F);
  EXPECT_BITS_EQ(-0x1.b91684p+0f, mat3f_determinant(&m3));
  EXPECT_BITS_EQ(-0x1.ee3616p+2f, mat4f_determinant(&m4));

  const float adj3[9] = {0x1.f33332p+0f,  0x1.370a3cp+1f,  -0x1.bc28f4p+1f,
                         -0x1.6b8520p-1f, -0x1.ae147ap+0f, 0x1.d1eb84p-1f,
                         -0x1.e8f5c0p+0f, -0x1.d99998p+0f, 0x1.b851eap+0f};
  const float inv3[9] = {-0x1.21ba2cp+0f, -0x1.690b72p+0f, 0x1.01c870p+1f,
                         0x1.a5f636p-2f,  0x1.f338eap-1f,  -0x1.0e6980p-1f,
                         0x1.1bc8bcp+0f,  0x1.12de94p+0f,  -0x1.ff1bcap-1f};
  const float adj4[16] = {0x1.490e54p+2f,  0x1.9fbec0p-4f,  -0x1.1c5e34p+3f, -0x1.f872b0p+2f,
                          -0x1.624dd4p+0f, -0x1.11999ap+1f, 0x1.7eb852p-1f,  0x1.f83126p+1f,
                          -0x1.83df3ep+2f, -0x1.974bc8p-1f, 0x1.89fbe8p+1f,  0x1.5e76c8p+2f,
                          -0x1.92b022p-1f, -0x1.2de354p+1f, 0x1.74fdf4p+0f,  -0x1.b91688p+0f};
  const float inv4[16] = {-0x1.54e66ap-1f, -0x1.aeb5a4p-7f, 0x1.269a84p+0f,  0x1.054d76p+0f,
                          0x1.6f0e90p-3f,  0x1.1b72b0p-2f,  -0x1.8c7ee6p-4f, -0x1.052b84p-1f,
                          0x1.91d54ap-1f,  0x1.a5f4d0p-4f,  -0x1.982a46p-2f, -0x1.6b1422p-1f,
                          0x1.a12eb4p-4f,  0x1.38c114p-2f,  -0x1.826ae4p-3f, 0x1.c8f6f0p-3f};
  mat3f r3;
  mat4f r4;
  mat3f_adjugate(&m3, &r3);
  EXPECT_RECORD_BITS_EQ(adj3, r3.m);
  mat3f_invert(&m3, &r3);
  EXPECT_RECORD_BITS_EQ(inv3, r3.m);
  mat4f_adjugate(&m4, &r4);
  EXPECT_RECORD_BITS_EQ(adj4, r4.m);
  mat4f_invert(&m4, &r4);
  EXPECT_RECORD_BITS_EQ(inv4, r4.m);
}

TEST(Inverse, GeneralDoubleMatrixToTheBit) {
  const double e3[9] = {0.7, -1.3, 2.1, 0.3, 1.9, -0.4, 1.1, 0.6, 0.9};
  const double e4[16] = {0.7, -1.3, 2.1, 0.5, 0.3,  1.9, -0.4, 1.7,
                         1.1, 0.6,  0.9, -0.8, 0.2, -1.5, 0.35, 1.25};
  const mat3d m3 = make<mat3d>(e3);
  const mat4d m4 = make<mat4d>(e4);
  EXPECT_BITS_EQ(-0x1.b916872b020c4p+0, mat3d_determinant(&m3));
  EXPECT_BITS_EQ(-0x1.ee36113404ea5p+2, mat4d_determinant(&m4));
  const double inv3[9] = {-0x1.21ba2b166f6f0p+0, -0x1.690b70c54fc96p+0, 0x1.01c86e8ac59bdp+1,
                          0x1.a5f631a004c13p-2,  0x1.f338e7c822789p-1,  -0x1.0e697d8c68013p-1,
                          0x1.1bc8ba9d32122p+0,  0x1.12de91e75606ep+0,  -0x1.ff1bc8ba9d320p-1};
  const double adj4[16] = {
      0x1.490e560418937p+2,  0x1.9fbe76c8b4380p-4,  -0x1.1c5e353f7cedap+3, -0x1.f872b020c49bcp+2,
      -0x1.624dd2f1a9fbfp+0, -0x1.119999999999bp+1, 0x1.7eb851eb851ecp-1,  0x1.f83126e978d51p+1,
      -0x1.83df3b645a1cbp+2, -0x1.974bc6a7ef9dbp-1, 0x1.89fbe76c8b439p+1,  0x1.5e76c8b439581p+2,
      -0x1.92b020c49ba60p-1, -0x1.2de353f7ced93p+1, 0x1.74fdf3b645a1ep+0,  -0x1.b916872b020c6p+0};
  const double inv4[16] = {
      -0x1.54e67033cbe0fp-1, -0x1.aeb55b65dd298p-7, 0x1.269a87d3896a9p+0,  0x1.054d796162979p+0,
      0x1.6f0e93401c534p-3,  0x1.1b72b3481ec08p-2,  -0x1.8c7ee96b2bea3p-4, -0x1.052b86d481a83p-1,
      0x1.91d54c11898d5p-1,  0x1.a5f4d313df73ap-4,  -0x1.982a49d87e33dp-2, -0x1.6b1426bdc045bp-1,
      0x1.a12eb7443dc9fp-4,  0x1.38c116e64d682p-2,  -0x1.826ae79864d92p-3, 0x1.c8f6f45bd650cp-3};
  mat3d r3;
  mat4d r4;
  mat3d_invert(&m3, &r3);
  EXPECT_RECORD_BITS_EQ(inv3, r3.m);
  mat4d_adjugate(&m4, &r4);
  EXPECT_RECORD_BITS_EQ(adj4, r4.m);
  mat4d_invert(&m4, &r4);
  EXPECT_RECORD_BITS_EQ(inv4, r4.m);
}

// a*d - b*c with both products inexact: 0 when each is rounded first,
// +-2^-24 (float) or +-2^-54 (double) under a fused multiply-add.
TEST(Inverse, DeterminantOfTwoRoundsEachProduct) {
  const float xf = 1.0f + 0x1p-12f;
  EXPECT_BITS_EQ(0.0f, mat2f_determinant(xf, xf, xf, xf));
  const double xd = 1.0 + 0x1p-27;
  EXPECT_BITS_EQ(0.0, mat2d_determinant(xd, xd, xd, xd));
}

}  // namespace

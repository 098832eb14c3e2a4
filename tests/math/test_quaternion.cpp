// Quaternions: normalisation, product, inverse, matrix and angle-axis
// conversions. Results the library defines to the bit are compared as bit
// patterns; only conversions through trigonometry are checked within
// rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "bits.h"
#include "math/quaternion.h"

namespace {

using kalu7_test::bits_of;
using kalu7_test::float_from_bits;

constexpr float NaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float FLOAT_PI = 0x1.921fb6p+1f;       // float(pi), just above pi
constexpr float FLOAT_TWO_PI = 0x1.921fb6p+2f;   // float(2*pi)
constexpr float SENTINEL = 123.25f;              // an axis value no result can hold

quatf Q(float x, float y, float z, float w) { return quatf{{x, y, z, w}}; }
quatd QD(double x, double y, double z, double w) { return quatd{{x, y, z, w}}; }
vec3f V(float x, float y, float z) { return vec3f{{x, y, z}}; }

// The same rotation: q equals p or -p within tol.
bool same_rotation(const quatf &q, const quatf &p, float tol) {
  bool plus = true, minus = true;
  for (int i = 0; i < 4; ++i) {
    plus = plus && std::fabs(q.v[i] - p.v[i]) <= tol;
    minus = minus && std::fabs(q.v[i] + p.v[i]) <= tol;
  }
  return plus || minus;
}

TEST(QuatNormalize, ZeroBecomesIdentityAndScalingIsExact) {
  const quatf cases[][2] = {
      {Q(0, 0, 0, 0), Q(0, 0, 0, 1)},
      {Q(0, 0, 0, 2), Q(0, 0, 0, 1)},
      {Q(0, -3, 0, 4), Q(0, -0.6f, 0, 0.8f)},
      {Q(-0.0f, 0, 0, 0), Q(0, 0, 0, 1)},
  };
  for (const auto &c : cases) {
    quatf out;
    quatf_normalize(&c[0], &out);
    EXPECT_RECORD_BITS_EQ(c[1], out);
    quatf in_place = c[0];
    quatf_normalize(&in_place, &in_place);
    EXPECT_RECORD_BITS_EQ(out, in_place);

    const quatd qd = QD(c[0].v[0], c[0].v[1], c[0].v[2], c[0].v[3]);
    quatd outd, in_place_d = qd;
    quatd_normalize(&qd, &outd);
    quatd_normalize(&in_place_d, &in_place_d);
    EXPECT_RECORD_BITS_EQ(outd, in_place_d);
    EXPECT_NEAR(outd.v[1], c[1].v[1], 1e-7);
    EXPECT_NEAR(outd.v[3], c[1].v[3], 1e-7);
  }
  const quatd two = QD(0, 0, 0, 2);
  quatd outd;
  quatd_normalize(&two, &outd);
  EXPECT_RECORD_BITS_EQ(QD(0, 0, 0, 1), outd);
}

TEST(QuatNormalize, NaNLengthIsNotTreatedAsZero) {
  const quatf q = Q(NaNf, 0, 0, 1);
  quatf out;
  quatf_normalize(&q, &out);
  for (float c : out.v) EXPECT_TRUE(std::isnan(c));
  const quatd qd = QD(0, std::nan(""), 0, 0);
  quatd outd;
  quatd_normalize(&qd, &outd);
  EXPECT_TRUE(std::isnan(outd.v[3]));
}

TEST(QuatMul, HamiltonProductInTheWrittenOrder) {
  const quatf i = Q(1, 0, 0, 0), j = Q(0, 1, 0, 0), one = Q(0, 0, 0, 1);
  quatf out;
  quatf_mul(&i, &i, &out);
  EXPECT_RECORD_BITS_EQ(Q(0, 0, 0, -1), out);
  quatf_mul(&i, &j, &out);
  EXPECT_RECORD_BITS_EQ(Q(0, 0, 1, 0), out);
  quatf_mul(&j, &i, &out);
  EXPECT_RECORD_BITS_EQ(Q(0, 0, -1, 0), out);

  const quatf q = Q(0.5f, -0.25f, 2.0f, 3.0f);
  quatf_mul(&one, &q, &out);
  EXPECT_RECORD_BITS_EQ(q, out);
  quatf_mul(&q, &one, &out);
  EXPECT_RECORD_BITS_EQ(q, out);

  // A product with rounding in every component, against the formulas done
  // one float operation at a time.
  const quatf a = Q(0.1f, 0.2f, 0.3f, 0.9f), b = Q(-0.7f, 0.11f, 0.5f, 0.45f);
  quatf_mul(&a, &b, &out);
  const float ax = a.v[0], ay = a.v[1], az = a.v[2], aw = a.v[3];
  const float bx = b.v[0], by = b.v[1], bz = b.v[2], bw = b.v[3];
  volatile float t;  // keeps each step a separate rounded float operation
  t = aw * bw; t = t - ax * bx; t = t - ay * by; t = t - az * bz;
  EXPECT_BITS_EQ(static_cast<float>(t), out.v[3]);
  t = aw * bx; t = t + ax * bw; t = t + ay * bz; t = t - az * by;
  EXPECT_BITS_EQ(static_cast<float>(t), out.v[0]);
  t = aw * by; t = t + ay * bw; t = t + az * bx; t = t - ax * bz;
  EXPECT_BITS_EQ(static_cast<float>(t), out.v[1]);
  t = aw * bz; t = t + az * bw; t = t + ax * by; t = t - ay * bx;
  EXPECT_BITS_EQ(static_cast<float>(t), out.v[2]);

  // The output may be either factor, or both.
  quatf sa = a, sb = b, ss = a;
  quatf_mul(&sa, &b, &sa);
  EXPECT_RECORD_BITS_EQ(out, sa);
  quatf_mul(&a, &sb, &sb);
  EXPECT_RECORD_BITS_EQ(out, sb);
  quatf sq;
  quatf_mul(&a, &a, &sq);
  quatf_mul(&ss, &ss, &ss);
  EXPECT_RECORD_BITS_EQ(sq, ss);
}

TEST(QuatInverse, ConjugateOverSquaredNormWithSignedZeros) {
  const quatf cases[][2] = {
      {Q(0, 0, 0, 2), Q(-0.0f, -0.0f, -0.0f, 0.5f)},
      {Q(0, 0, 0, 0), Q(-0.0f, -0.0f, -0.0f, 0.0f)},
      {Q(0.5f, 0.5f, -0.5f, 0.5f), Q(-0.5f, -0.5f, 0.5f, 0.5f)},
      {Q(0, 2, 0, 0), Q(-0.0f, -0.5f, -0.0f, 0.0f)},
  };
  for (const auto &c : cases) {
    quatf out, in_place = c[0];
    quatf_inverse(&c[0], &out);
    EXPECT_RECORD_BITS_EQ(c[1], out);
    quatf_inverse(&in_place, &in_place);
    EXPECT_RECORD_BITS_EQ(c[1], in_place);
  }
}

TEST(QuatToMat3f, ScaleInvariantAndZeroGivesIdentity) {
  const mat3f identity = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
  const mat3f flip_x = {{1, 0, 0, 0, -1, 0, 0, 0, -1}};
  const struct {
    quatf q;
    mat3f m;
  } cases[] = {
      {Q(0, 0, 0, 0), identity}, {Q(0, 0, 0, 1), identity}, {Q(0, 0, 0, 5), identity},
      {Q(1, 0, 0, 0), flip_x},   {Q(2, 0, 0, 0), flip_x},
  };
  for (const auto &c : cases) {
    mat3f m;
    quatf_to_mat3f(&c.q, &m);
    EXPECT_RECORD_BITS_EQ(c.m, m);
  }

  // A quarter turn about +z takes the column (1, 0, 0) to (0, 1, 0).
  const float h = static_cast<float>(std::sin(M_PI / 4));
  const quatf qz = Q(0, 0, h, h);
  mat3f m;
  quatf_to_mat3f(&qz, &m);
  EXPECT_NEAR(m.m[0], 0.0f, 1e-6f);
  EXPECT_NEAR(m.m[3], 1.0f, 1e-6f);
  EXPECT_NEAR(m.m[6], 0.0f, 1e-6f);
}

TEST(Mat3fToQuatf, BranchesAndTies) {
  const struct {
    mat3f m;
    quatf q;
  } cases[] = {
      {{{1, 0, 0, 0, 1, 0, 0, 0, 1}}, Q(0, 0, 0, 1)},       // positive trace
      {{{1, 0, 0, 0, -1, 0, 0, 0, -1}}, Q(1, 0, 0, 0)},     // x largest
      {{{-1, 0, 0, 0, 1, 0, 0, 0, -1}}, Q(0, 1, 0, 0)},     // y largest
      {{{-1, 0, 0, 0, -1, 0, 0, 0, 1}}, Q(0, 0, 1, 0)},     // z largest
      {{{0, 0, 0, 0, 0, 0, 0, 0, 0}}, Q(0.5f, 0, 0, 0)},    // trace 0, tie keeps x
      {{{0, 0, 1, 1, 0, 0, 0, 1, 0}}, Q(0.5f, 0.5f, 0.5f, 0.5f)},  // trace exactly 0
  };
  for (const auto &c : cases) {
    quatf q;
    mat3f_to_quatf(&c.m, &q);
    EXPECT_RECORD_BITS_EQ(c.q, q);
  }

  // Ties between y and z: the earlier axis wins.
  const mat3f yz_tie = {{-1, 0, 0, 0, 0, 0, 0, 0, 0}};
  quatf q;
  mat3f_to_quatf(&yz_tie, &q);
  EXPECT_RECORD_BITS_EQ(Q(0, 0x1.6a09e6p-1f, 0, 0), q);

  // A NaN trace takes the second branch; the NaN passes through.
  const mat3f nan_m = {{NaNf, 0, 0, 0, 1, 0, 0, 0, 1}};
  mat3f_to_quatf(&nan_m, &q);
  EXPECT_TRUE(std::isnan(q.v[1]) || std::isnan(q.v[3]));
}

TEST(Mat3fToQuatf, RoundTripPicksPositiveWOrLargestComponent) {
  std::mt19937 rng(20261211u);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int n = 0; n < 2000; ++n) {
    quatf q = Q(u(rng), u(rng), u(rng), u(rng));
    quatf_normalize(&q, &q);
    mat3f m;
    quatf_to_mat3f(&q, &m);
    quatf back;
    mat3f_to_quatf(&m, &back);
    ASSERT_TRUE(same_rotation(q, back, 2e-6f)) << n;
    const float t = (m.m[0] + m.m[4]) + m.m[8];
    if (t > 0.0f) {
      EXPECT_GT(back.v[3], 0.0f);
    } else {
      int big = 0;
      for (int i = 1; i < 3; ++i)
        if (std::fabs(back.v[i]) > std::fabs(back.v[big]) + 1e-5f) big = i;
      EXPECT_GE(back.v[big], 0.0f) << n;
    }
  }
}

TEST(QuatFromAngleAxis, HalfAngleOnAnUnnormalisedAxis) {
  const vec3f axes[] = {V(0, 0, 1), V(3, 4, 5), V(0.25f, 0, 0)};
  for (const vec3f &a : axes) {
    quatf q;
    quatf_from_angle_axis(0.0f, &a, &q);
    EXPECT_RECORD_BITS_EQ(Q(0, 0, 0, 1), q);
  }
  const vec3f z1 = V(0, 0, 1), z2 = V(0, 0, 2);
  quatf q1, q2;
  quatf_from_angle_axis(1.0f, &z1, &q1);
  quatf_from_angle_axis(1.0f, &z2, &q2);
  EXPECT_BITS_EQ(2.0f * q1.v[2], q2.v[2]);
  EXPECT_BITS_EQ(q1.v[3], q2.v[3]);
  EXPECT_BITS_EQ(static_cast<float>(std::sin(0.5)), q1.v[2]);
  EXPECT_BITS_EQ(static_cast<float>(std::cos(0.5)), q1.v[3]);
}

TEST(QuatToAngleAxis, AngleAlwaysAxisOnlyWhenDefined) {
  const struct {
    quatf q;
    float angle;
    bool axis_written;
    vec3f axis;
    bool same_in_double;
  } cases[] = {
      {Q(0, 0, 0, 1), 0.0f, false, {}, true},
      {Q(0, 0, 0, 0), 0.0f, false, {}, true},
      {Q(1, 0, 0, 0), FLOAT_PI, true, V(1, 0, 0), true},
      {Q(3, 0, 0, 0), FLOAT_PI, true, V(1, 0, 0), true},
      {Q(0, 0, 0, -1), FLOAT_TWO_PI, false, {}, true},
      // The identity scaled by 1.0006226 normalises in float to a w just
      // below 1: a small angle and a written axis of zeros. In double the
      // normalised w is exactly 1.
      {Q(0, 0, 0, 1.0006226f), 0x1.6a09e6p-11f, true, V(0, 0, 0), false},
  };
  for (const auto &c : cases) {
    float angle = NaNf;
    vec3f axis = V(SENTINEL, SENTINEL, SENTINEL);
    quatf_to_angle_axis(&c.q, &angle, &axis);
    EXPECT_BITS_EQ(c.angle, angle);
    EXPECT_RECORD_BITS_EQ(c.axis_written ? c.axis : V(SENTINEL, SENTINEL, SENTINEL), axis);

    if (!c.same_in_double) continue;
    const quatd qd = QD(c.q.v[0], c.q.v[1], c.q.v[2], c.q.v[3]);
    double angled = NaNf;
    vec3d axisd = {{SENTINEL, SENTINEL, SENTINEL}};
    quatd_to_angle_axis(&qd, &angled, &axisd);
    EXPECT_NEAR(angled, c.angle, 1e-6);
    EXPECT_EQ(axisd.v[0], c.axis_written ? c.axis.v[0] : SENTINEL);
  }
  double angled;
  const quatd x3 = QD(3, 0, 0, 0), neg = QD(0, 0, 0, -1);
  vec3d axisd = {{SENTINEL, SENTINEL, SENTINEL}};
  quatd_to_angle_axis(&x3, &angled, &axisd);
  EXPECT_BITS_EQ(M_PI, angled);
  EXPECT_RECORD_BITS_EQ((vec3d{{1, 0, 0}}), axisd);
  quatd_to_angle_axis(&neg, &angled, &axisd);
  EXPECT_BITS_EQ(2 * M_PI, angled);
}

TEST(QuatToAngleAxis, RecoversAngleAndAxis) {
  const vec3f axis_in = V(0.48f, -0.6f, 0.64f);  // unit length within rounding
  for (float angle_in : {0.5f, 2.0f, 3.0f, 4.0f, 6.0f}) {
    quatf q;
    quatf_from_angle_axis(angle_in, &axis_in, &q);
    float angle;
    vec3f axis;
    quatf_to_angle_axis(&q, &angle, &axis);
    EXPECT_NEAR(angle, angle_in, 2e-6f);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(axis.v[i], axis_in.v[i], 1e-4f);
  }
}

// Regression: a quaternion whose squared norm is subnormal normalises to a
// w above 1 (here 1.0012), and an unclamped arc cosine turned this valid
// identity rotation into a NaN angle.
TEST(QuatToAngleAxis, SubnormalNormDoesNotGiveNaNAngle) {
  const quatf q = Q(0, 0, 0, float_from_bits(0x1be93e34u));
  quatf n;
  quatf_normalize(&q, &n);
  ASSERT_GT(n.v[3], 1.0f);  // the rounding this test is about
  float angle = NaNf;
  vec3f axis = V(SENTINEL, SENTINEL, SENTINEL);
  quatf_to_angle_axis(&q, &angle, &axis);
  EXPECT_BITS_EQ(0.0f, angle);
  EXPECT_RECORD_BITS_EQ(V(SENTINEL, SENTINEL, SENTINEL), axis);

  const quatf neg = Q(0, 0, 0, -float_from_bits(0x1be93e34u));
  quatf_to_angle_axis(&neg, &angle, &axis);
  EXPECT_BITS_EQ(FLOAT_TWO_PI, angle);

  // The same in double precision, with a squared norm of 1e-320.
  const quatd qd = QD(0, 0, 0, 1e-160);
  quatd nd;
  quatd_normalize(&qd, &nd);
  ASSERT_GT(nd.v[3], 1.0);
  double angled = NaNf;
  vec3d axisd = {{SENTINEL, SENTINEL, SENTINEL}};
  quatd_to_angle_axis(&qd, &angled, &axisd);
  EXPECT_BITS_EQ(0.0, angled);
  EXPECT_RECORD_BITS_EQ((vec3d{{SENTINEL, SENTINEL, SENTINEL}}), axisd);
}

TEST(QuatAngleBetween, RotationFromAToB) {
  const quatf one = Q(0, 0, 0, 1), minus_one = Q(0, 0, 0, -1);
  vec3f axis = V(SENTINEL, SENTINEL, SENTINEL);
  EXPECT_BITS_EQ(0.0f, quatf_angle_between(&one, &one, &axis));
  EXPECT_RECORD_BITS_EQ(V(SENTINEL, SENTINEL, SENTINEL), axis);
  // Opposite signs describe one orientation, but the angle is not folded.
  EXPECT_BITS_EQ(FLOAT_TWO_PI, quatf_angle_between(&one, &minus_one, &axis));
  EXPECT_RECORD_BITS_EQ(V(SENTINEL, SENTINEL, SENTINEL), axis);

  // From the identity: exactly what the angle-axis conversion of b gives.
  const quatf b = Q(0.1f, -0.2f, 0.3f, 0.9f);
  float angle_b;
  vec3f axis_b;
  quatf_to_angle_axis(&b, &angle_b, &axis_b);
  EXPECT_BITS_EQ(angle_b, quatf_angle_between(&one, &b, &axis));
  EXPECT_RECORD_BITS_EQ(axis_b, axis);

  // d with a (x) d = b: a quarter turn about x then about z, compared with
  // a quarter turn about x alone, leaves the turn about the carried axis.
  const float h = static_cast<float>(std::sin(M_PI / 4));
  const quatf a = Q(h, 0, 0, h), qz = Q(0, 0, h, h);
  quatf ab;
  quatf_mul(&a, &qz, &ab);
  const float angle = quatf_angle_between(&a, &ab, &axis);
  EXPECT_NEAR(angle, M_PI / 2, 1e-6);
  EXPECT_NEAR(axis.v[0], 0.0f, 1e-6f);
  EXPECT_NEAR(axis.v[1], 0.0f, 1e-6f);
  EXPECT_NEAR(axis.v[2], 1.0f, 1e-6f);
}

TEST(QuatZero, EveryOperationHasADefinedResult) {
  const quatf zero = Q(0, 0, 0, 0);
  quatf out;
  quatf_normalize(&zero, &out);
  EXPECT_RECORD_BITS_EQ(Q(0, 0, 0, 1), out);
  quatf_inverse(&zero, &out);
  EXPECT_RECORD_BITS_EQ(Q(-0.0f, -0.0f, -0.0f, 0), out);
  quatf_mul(&zero, &zero, &out);
  EXPECT_RECORD_BITS_EQ(Q(0, 0, 0, 0), out);
  mat3f m;
  quatf_to_mat3f(&zero, &m);
  EXPECT_RECORD_BITS_EQ((mat3f{{1, 0, 0, 0, 1, 0, 0, 0, 1}}), m);
  float angle = NaNf;
  vec3f axis = V(SENTINEL, SENTINEL, SENTINEL);
  quatf_to_angle_axis(&zero, &angle, &axis);
  EXPECT_BITS_EQ(0.0f, angle);
  EXPECT_BITS_EQ(0.0f, quatf_angle_between(&zero, &zero, &axis));
  EXPECT_RECORD_BITS_EQ(V(SENTINEL, SENTINEL, SENTINEL), axis);
}

}  // namespace

// Euler angles in the 24 orders of the packed order code: conversions to
// and from quaternions and matrices, checked against rotations composed
// independently from the axis rotations each order names.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "bits.h"
#include "math/euler.h"
#include "math/quaternion.h"

namespace {

constexpr float NaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float INFf = std::numeric_limits<float>::infinity();
constexpr float FLOAT_PI = 0x1.921fb6p+1f;       // float(pi) = 3.14159274
constexpr float FLOAT_HALF_PI = 0x1.921fb6p+0f;  // float(pi/2)
constexpr float ROOT_HALF = 0x1.6a09e6p-1f;      // float(cos(float(pi/4)))

// ---- Reference rotations in double, built from the axis rotations -------

struct dmat {
  double m[3][3];
};

dmat axis_rotation(int axis, double t) {
  const double c = std::cos(t), s = std::sin(t);
  dmat r = {};
  const int a = (axis + 1) % 3, b = (axis + 2) % 3;
  r.m[axis][axis] = 1;
  r.m[a][a] = c;
  r.m[a][b] = -s;
  r.m[b][a] = s;
  r.m[b][b] = c;
  return r;
}

dmat mul(const dmat &p, const dmat &q) {
  dmat r = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.m[i][j] += p.m[i][k] * q.m[k][j];
  return r;
}

struct dquat {
  double v[4];
};

dquat axis_quat(int axis, double t) {
  dquat q = {{0, 0, 0, std::cos(t / 2)}};
  q.v[axis] = std::sin(t / 2);
  return q;
}

dquat qmul(const dquat &a, const dquat &b) {
  const double ax = a.v[0], ay = a.v[1], az = a.v[2], aw = a.v[3];
  const double bx = b.v[0], by = b.v[1], bz = b.v[2], bw = b.v[3];
  return dquat{{aw * bx + ax * bw + ay * bz - az * by, aw * by + ay * bw + az * bx - ax * bz,
                aw * bz + az * bw + ax * by - ay * bx, aw * bw - ax * bx - ay * by - az * bz}};
}

enum { X = 0, Y = 1, Z = 2 };

// For each pair of codes (2p static, 2p+1 rotating) the three axis
// rotations of the matrix, left to right. Static axes apply the angles
// (z, y, x) to them, rotating axes (x, y, z).
const int ORDER_AXES[12][3] = {
    {Z, Y, X}, {X, Y, X}, {Y, Z, X}, {X, Z, X}, {X, Z, Y}, {Y, Z, Y},
    {Z, X, Y}, {Y, X, Y}, {Y, X, Z}, {Z, X, Z}, {X, Y, Z}, {Z, Y, Z},
};

void factors(int code, const euler_angles &e, int axes[3], double angles[3]) {
  for (int n = 0; n < 3; ++n) axes[n] = ORDER_AXES[code / 2][n];
  const bool rotating = code & 1;
  angles[0] = rotating ? e.v[0] : e.v[2];
  angles[1] = e.v[1];
  angles[2] = rotating ? e.v[2] : e.v[0];
}

dmat reference_matrix(int code, const euler_angles &e) {
  int axes[3];
  double t[3];
  factors(code, e, axes, t);
  return mul(mul(axis_rotation(axes[0], t[0]), axis_rotation(axes[1], t[1])),
             axis_rotation(axes[2], t[2]));
}

dquat reference_quat(int code, const euler_angles &e) {
  int axes[3];
  double t[3];
  factors(code, e, axes, t);
  return qmul(qmul(axis_quat(axes[0], t[0]), axis_quat(axes[1], t[1])), axis_quat(axes[2], t[2]));
}

// Angles inside the result ranges of the matrix conversion and away from
// gimbal lock: x and z in (-pi, pi); y in (-pi/2, pi/2) for three distinct
// axes, (0, pi) for repeating orders of even parity, (-pi, 0) for odd.
euler_angles random_angles(std::mt19937 &rng, int code) {
  std::uniform_real_distribution<float> outer(-3.0f, 3.0f);
  std::uniform_real_distribution<float> middle_distinct(-1.4f, 1.4f);
  std::uniform_real_distribution<float> middle_repeating(0.15f, 3.0f);
  const bool repeating = code & 2, odd = code & 4;
  const float x = outer(rng), z = outer(rng);
  float y = repeating ? middle_repeating(rng) : middle_distinct(rng);
  if (repeating && odd) y = -y;
  return euler_angles_make(x, y, z, code);
}

void expect_record_unchanged(const euler_angles &before, const euler_angles &after) {
  EXPECT_RECORD_BITS_EQ(before, after);
}

// ---- The order table: composition and round trips ----------------------

TEST(EulerOrders, EveryOrderComposesItsAxisRotationsAndRoundTrips) {
  std::mt19937 rng(4u);
  for (int code = 0; code < 24; ++code) {
    SCOPED_TRACE(testing::Message() << "order " << code);
    for (int n = 0; n < 200; ++n) {
      const euler_angles e = random_angles(rng, code);
      euler_angles in = e;

      mat4f m;
      euler_to_mat4f(&in, &m);
      expect_record_unchanged(e, in);
      const dmat ref = reference_matrix(code, e);
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(m.m[4 * r + c], ref.m[r][c], 2e-6) << r << c;
      for (int k = 0; k < 3; ++k) {
        ASSERT_BITS_EQ(0.0f, m.m[4 * k + 3]);
        ASSERT_BITS_EQ(0.0f, m.m[12 + k]);
      }
      ASSERT_BITS_EQ(1.0f, m.m[15]);

      quatf q;
      euler_to_quatf(&in, &q);
      expect_record_unchanged(e, in);
      const dquat rq = reference_quat(code, e);
      for (int k = 0; k < 4; ++k) ASSERT_NEAR(q.v[k], rq.v[k], 1e-6) << k;

      euler_angles back;
      const mat4f m_before = m;
      mat4f_to_euler(&m, code, &back);
      EXPECT_RECORD_BITS_EQ(m_before, m);
      for (int k = 0; k < 3; ++k) ASSERT_NEAR(back.v[k], e.v[k], 2e-5) << "matrix " << k;
      ASSERT_BITS_EQ(static_cast<float>(code), back.v[3]);

      const quatf q_before = q;
      quatf_to_euler(&q, code, &back);
      EXPECT_RECORD_BITS_EQ(q_before, q);
      for (int k = 0; k < 3; ++k) ASSERT_NEAR(back.v[k], e.v[k], 2e-5) << "quat " << k;
      ASSERT_BITS_EQ(static_cast<float>(code), back.v[3]);
    }
  }
}

TEST(EulerOrders, QuaternionAndMatrixDescribeTheSameRotation) {
  std::mt19937 rng(44u);
  for (int code = 0; code < 24; ++code) {
    const euler_angles e = random_angles(rng, code);
    quatf q;
    mat4f m;
    mat3f mq;
    euler_to_quatf(&e, &q);
    euler_to_mat4f(&e, &m);
    quatf_to_mat3f(&q, &mq);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(mq.m[3 * r + c], m.m[4 * r + c], 2e-6) << code;
  }
}

// ---- Exact cases --------------------------------------------------------

TEST(EulerMake, StoresAnglesAndOrder) {
  const euler_angles e = euler_angles_make(0.1f, 0.2f, 0.3f, 17);
  EXPECT_RECORD_BITS_EQ((euler_angles{{0.1f, 0.2f, 0.3f, 17.0f}}), e);
  EXPECT_BITS_EQ(-1.0f, euler_angles_make(0, 0, 0, -1).v[3]);
}

TEST(EulerToQuatf, QuarterTurns) {
  const euler_angles about_y = euler_angles_make(FLOAT_HALF_PI, 0, 0, 17);
  quatf q;
  euler_to_quatf(&about_y, &q);
  EXPECT_RECORD_BITS_EQ((quatf{{0, ROOT_HALF, 0, ROOT_HALF}}), q);

  const euler_angles about_z = euler_angles_make(0, 0, FLOAT_HALF_PI, 0);
  euler_to_quatf(&about_z, &q);
  EXPECT_RECORD_BITS_EQ((quatf{{0, 0, ROOT_HALF, ROOT_HALF}}), q);
}

TEST(EulerToMat4f, QuarterTurnAboutY) {
  const euler_angles e = euler_angles_make(FLOAT_HALF_PI, 0, 0, 17);
  mat4f m;
  euler_to_mat4f(&e, &m);
  const float expected[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(m.m[k], expected[k], 1e-7f) << k;
}

TEST(MatToEuler, EquivalentTripleInTheResultRanges) {
  // Order 6 brings the middle angle into [-pi, 0].
  const euler_angles e = euler_angles_make(0.3f, 1.0f, 0.2f, 6);
  mat4f m;
  euler_to_mat4f(&e, &m);
  euler_angles back;
  mat4f_to_euler(&m, 6, &back);
  EXPECT_NEAR(back.v[0], 0.3 - M_PI, 2e-6);
  EXPECT_NEAR(back.v[1], -1.0, 2e-6);
  EXPECT_NEAR(back.v[2], 0.2 - M_PI, 2e-6);

  // A half turn about X: the angle reaches float(pi), just above pi; a
  // quarter turn about Y gives float(pi/2).
  const mat4f half_x = {{1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}};
  mat4f_to_euler(&half_x, 0, &back);
  EXPECT_RECORD_BITS_EQ((euler_angles{{FLOAT_PI, -0.0f, 0.0f, 0.0f}}), back);
  const mat4f quarter_y = {{0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1}};
  mat4f_to_euler(&quarter_y, 0, &back);
  EXPECT_BITS_EQ(FLOAT_HALF_PI, back.v[1]);
}

TEST(MatToEuler, GimbalLockPutsTheOuterRotationIntoOneAngle) {
  const struct {
    int order;
    euler_angles in;
    float x, y, z;
    int zero_at;  // the outer angle that is exactly +0
  } cases[] = {
      {0, euler_angles_make(0.3f, FLOAT_HALF_PI, 0.2f, 0), 0.1f, FLOAT_HALF_PI, 0.0f, 2},
      {17, euler_angles_make(0.3f, FLOAT_HALF_PI, 0.2f, 17), 0.0f, FLOAT_HALF_PI, -0.1f, 0},
      {2, euler_angles_make(0.3f, 0.0f, 0.2f, 2), 0.5f, 0.0f, 0.0f, 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.order);
    mat4f m;
    euler_to_mat4f(&c.in, &m);
    euler_angles back;
    mat4f_to_euler(&m, c.order, &back);
    EXPECT_NEAR(back.v[0], c.x, 1e-6);
    EXPECT_NEAR(back.v[1], c.y, 1e-6);
    EXPECT_NEAR(back.v[2], c.z, 1e-6);
    EXPECT_BITS_EQ(0.0f, back.v[c.zero_at]);
  }

  // The threshold is strict: a root exactly at 2^-19 is gimbal lock. The
  // element (1, 2) tells the branches apart: only gimbal lock reads it.
  EXPECT_BITS_EQ(0x1p-19f, EULER_GIMBAL_EPSILON);
  const float e = EULER_GIMBAL_EPSILON;
  const float gimbal_x = static_cast<float>(std::atan2(0.5, 1.0));
  const mat4f at = {{e, 0, 1, 0, 0, 1, -0.5f, 0, -1, 0, e, 0, 0, 0, 0, 1}};
  euler_angles back;
  mat4f_to_euler(&at, 0, &back);
  EXPECT_BITS_EQ(gimbal_x, back.v[0]);
  EXPECT_BITS_EQ(0.0f, back.v[2]);
  const mat4f above = {{2 * e, 0, 1, 0, 0, 1, -0.5f, 0, -1, 0, 2 * e, 0, 0, 0, 0, 1}};
  mat4f_to_euler(&above, 0, &back);
  EXPECT_BITS_EQ(0.0f, back.v[0]);
  // A NaN root takes the gimbal branch too.
  const mat4f nan_root = {{NaNf, 0, 1, 0, 0, 1, -0.5f, 0, -1, 0, e, 0, 0, 0, 0, 1}};
  mat4f_to_euler(&nan_root, 0, &back);
  EXPECT_BITS_EQ(gimbal_x, back.v[0]);
  EXPECT_BITS_EQ(0.0f, back.v[2]);
}

TEST(MatToEuler, ReadsOnlyTheRotationElements) {
  const euler_angles e = euler_angles_make(0.4f, -0.7f, 1.1f, 9);
  mat4f m;
  euler_to_mat4f(&e, &m);
  mat4f dirty = m;
  for (int k = 0; k < 3; ++k) {
    dirty.m[4 * k + 3] = NaNf;
    dirty.m[12 + k] = NaNf;
  }
  dirty.m[15] = NaNf;
  euler_angles clean_out, dirty_out;
  mat4f_to_euler(&m, 9, &clean_out);
  mat4f_to_euler(&dirty, 9, &dirty_out);
  EXPECT_RECORD_BITS_EQ(clean_out, dirty_out);
}

TEST(QuatToEuler, ScaledAndZeroQuaternions) {
  const quatf zero = {{0, 0, 0, 0}}, two = {{0, 0, 0, 2}};
  for (int order : {0, 7, 17, 22}) {
    euler_angles out;
    quatf_to_euler(&zero, order, &out);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(0.0f, out.v[k]);
    quatf_to_euler(&two, order, &out);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(0.0f, out.v[k]);
    EXPECT_BITS_EQ(static_cast<float>(order), out.v[3]);
  }
  const float s = static_cast<float>(3 * std::sin(M_PI / 4));
  const float c = static_cast<float>(3 * std::cos(M_PI / 4));
  const quatf q = {{0, 0, s, c}};
  euler_angles out;
  quatf_to_euler(&q, 0, &out);
  EXPECT_NEAR(out.v[0], 0.0, 1e-6);
  EXPECT_NEAR(out.v[1], 0.0, 1e-6);
  EXPECT_NEAR(out.v[2], M_PI / 2, 1e-6);
  // q and -q give the same angles.
  const quatf neg = {{-0.2f, 0.5f, -0.1f, -0.8f}}, pos = {{0.2f, -0.5f, 0.1f, 0.8f}};
  euler_angles a, b;
  quatf_to_euler(&neg, 13, &a);
  quatf_to_euler(&pos, 13, &b);
  EXPECT_RECORD_BITS_EQ(a, b);
}

// ---- Reading the order code ---------------------------------------------

TEST(EulerOrderCode, FloatWReadsItsTruncatedLowFiveBits) {
  const struct {
    float w;
    int acts_like;
  } cases[] = {
      {25.0f, 1},   {17.9f, 17},  {31.0f, 7},   {24.0f, 0},   {-1.0f, 7},
      {-0.5f, 0},   {-31.5f, 1},  {-8.0f, 0},  {-17.0f, 15}, {0x1p27f + 16.0f, 16},
      {0x1p28f, 0}, {3e9f, 0},    {-3e9f, 0},   {-0x1p63f, 0}, {0x1p63f, 0},
      {1e19f, 0},   {-1e30f, 0},  {INFf, 0},    {-INFf, 0},   {NaNf, 0},
      {-NaNf, 0},
  };
  std::mt19937 rng(7u);
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "w = " << c.w);
    euler_angles e = random_angles(rng, c.acts_like);
    euler_angles plain = e;
    e.v[3] = c.w;
    const euler_angles before = e;
    mat4f m, m_plain;
    quatf q, q_plain;
    euler_to_mat4f(&e, &m);
    euler_to_quatf(&e, &q);
    euler_to_mat4f(&plain, &m_plain);
    euler_to_quatf(&plain, &q_plain);
    EXPECT_RECORD_BITS_EQ(m_plain, m);
    EXPECT_RECORD_BITS_EQ(q_plain, q);
    EXPECT_RECORD_BITS_EQ(before, e);
  }
}

TEST(EulerOrderCode, IntegerOrderCountsItsLowFiveBitsAndIsStoredAsGiven) {
  const struct {
    int order;
    int acts_like;
  } cases[] = {
      {24, 0}, {25, 1}, {26, 2}, {27, 3}, {28, 4}, {29, 5}, {30, 6}, {31, 7},
      {-1, 7}, {-32, 0}, {-15, 17}, {49, 17}, {INT_MAX, 7}, {INT_MIN, 0},
  };
  const quatf q = {{0.3f, -0.4f, 0.1f, 0.85f}};
  mat4f m;
  const euler_angles src = euler_angles_make(0.5f, 0.6f, -0.7f, 0);
  euler_to_mat4f(&src, &m);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.order);
    euler_angles got, want;
    mat4f_to_euler(&m, c.order, &got);
    mat4f_to_euler(&m, c.acts_like, &want);
    want.v[3] = static_cast<float>(c.order);
    EXPECT_RECORD_BITS_EQ(want, got);
    quatf_to_euler(&q, c.order, &got);
    quatf_to_euler(&q, c.acts_like, &want);
    want.v[3] = static_cast<float>(c.order);
    EXPECT_RECORD_BITS_EQ(want, got);
  }
}

TEST(EulerTables, AxisTables) {
  const int inner[4] = {0, 1, 2, 0}, next[4] = {1, 2, 0, 1};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(inner[k], EULER_INNER_AXIS[k]);
    EXPECT_EQ(next[k], EULER_NEXT_AXIS[k]);
  }
}

}  // namespace

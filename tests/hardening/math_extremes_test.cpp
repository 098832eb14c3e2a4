// Every operation of the geometry library fed NaN, both infinities, the
// largest and smallest finite values, subnormals and -0.0, alone and mixed
// with ordinary values. Run under UBSan (float-cast-overflow included) the
// test passes only when no operation reaches undefined behaviour, such as an
// out-of-range float-to-integer conversion or an index computed from a
// non-finite value. A few results whose range the library promises for
// every argument are checked as well.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <vector>

#include "math/channel.h"
#include "math/euler.h"
#include "math/inverse.h"
#include "math/matrix.h"
#include "math/quaternion.h"
#include "math/rotation.h"
#include "math/types.h"

namespace {

template <typename T>
std::vector<T> extreme_values() {
  using L = std::numeric_limits<T>;
  return {L::quiet_NaN(), -L::quiet_NaN(), L::infinity(), -L::infinity(), L::max(), -L::max(), L::min(),
          L::denorm_min(), -L::denorm_min(), T(-0.0), T(0.0), T(1e30), T(-1e30), T(9.3e18), T(-9.3e18),
          T(2147483648.0), T(4294967296.0), T(1.0), T(-1.0), T(0.5), T(3.0)};
}

// A small deterministic generator, so that a failure can be replayed.
struct Picker {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  size_t next(size_t n) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<size_t>(state % n);
  }
};

// Calls `use` with records whose components are, in turn: all one extreme
// value (for each), then many mixtures of extreme and ordinary values.
template <typename T, size_t N, typename Use>
void for_inputs(Use use) {
  const std::vector<T> pool = extreme_values<T>();
  T values[N];
  for (T v : pool) {
    for (T &x : values) x = v;
    use(values);
  }
  Picker pick;
  for (int round = 0; round < 300; ++round) {
    for (T &x : values) x = pool[pick.next(pool.size())];
    use(values);
  }
}

// Copies N values into a record's single array member.
template <typename A, typename T, size_t N>
void fill(A (&dst)[N], const T *src) {
  for (size_t i = 0; i < N; ++i) dst[i] = src[i];
}

const int kOrders[] = {0, 1, 7, 17, 23, 24, 31, 32, -1, 100, INT_MAX, INT_MIN};

TEST(MathExtremes, MatrixBasics) {
  for_inputs<float, 32>([](const float *v) {
    mat3f a, b, c;
    mat4f p, q, r;
    fill(a.m, v);
    fill(b.m, v + 9);
    fill(p.m, v);
    fill(q.m, v + 16);
    mat3f_set(&c, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    mat4f_set(&r, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14],
              v[15]);
    (void)mat3f_approx_equal(&a, &b);
    (void)mat4f_approx_equal(&p, &q);
    mat3f_mul(&a, &b, &c);
    mat4f_mul(&p, &q, &r);
    mat3f_scale(&c, v[20]);
    mat4f_scale(&r, v[21]);
    vec3f u{{v[22], v[23], v[24]}}, w;
    vec3f_mul_mat3f(&u, &a, &w);
    mat4f_transform_point(&u, &p, &w);
    vec4f h{{v[25], v[26], v[27], v[28]}}, k;
    mat4f_mul_vec4f(&p, &h, &k);
    mat3f_copy(&c, &a);
    mat4f_copy(&r, &p);
    mat3f_identity(&c);
    mat4f_identity(&r);
  });
  for_inputs<double, 32>([](const double *v) {
    mat3d a, b, c;
    mat4d p, q, r;
    fill(a.m, v);
    fill(b.m, v + 9);
    fill(p.m, v);
    fill(q.m, v + 16);
    mat3d_set(&c, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    mat4d_set(&r, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14],
              v[15]);
    (void)mat3d_approx_equal(&a, &b);
    (void)mat4d_approx_equal(&p, &q);
    mat3d_mul(&a, &b, &c);
    mat4d_mul(&p, &q, &r);
    mat3d_scale(&c, v[20]);
    mat4d_scale(&r, v[21]);
    vec3d u{{v[22], v[23], v[24]}}, w;
    vec3d_mul_mat3d(&u, &a, &w);
    mat4d_transform_point(&u, &p, &w);
    mat3d_copy(&c, &a);
    mat4d_copy(&r, &p);
    mat3d_identity(&c);
    mat4d_identity(&r);
  });
}

TEST(MathExtremes, DeterminantsAdjugatesInverses) {
  for_inputs<float, 16>([](const float *v) {
    mat3f a, out3;
    mat4f p, out4;
    fill(a.m, v);
    fill(p.m, v);
    (void)mat2f_determinant(v[0], v[1], v[2], v[3]);
    (void)mat3f_determinant(&a);
    (void)mat4f_determinant(&p);
    mat3f_adjugate(&a, &out3);
    mat4f_adjugate(&p, &out4);
    mat3f_invert(&a, &out3);
    mat4f_invert(&p, &out4);
  });
  for_inputs<double, 16>([](const double *v) {
    mat3d a, out3;
    mat4d p, out4;
    fill(a.m, v);
    fill(p.m, v);
    (void)mat2d_determinant(v[0], v[1], v[2], v[3]);
    (void)mat3d_determinant(&a);
    (void)mat4d_determinant(&p);
    mat3d_adjugate(&a, &out3);
    mat4d_adjugate(&p, &out4);
    mat3d_invert(&a, &out3);
    mat4d_invert(&p, &out4);
  });
}

TEST(MathExtremes, Quaternions) {
  for_inputs<float, 16>([](const float *v) {
    quatf a, b, c;
    fill(a.v, v);
    fill(b.v, v + 4);
    quatf_normalize(&a, &c);
    quatf_mul(&a, &b, &c);
    quatf_inverse(&a, &c);
    mat3f m;
    quatf_to_mat3f(&a, &m);
    fill(m.m, v + 4);
    mat3f_to_quatf(&m, &c);
    vec3f axis{{v[13], v[14], v[15]}};
    quatf_from_angle_axis(v[12], &axis, &c);
    float angle = 0;
    quatf_to_angle_axis(&a, &angle, &axis);
    (void)quatf_angle_between(&a, &b, &axis);
  });
  for_inputs<double, 4>([](const double *v) {
    quatd a, c;
    fill(a.v, v);
    quatd_normalize(&a, &c);
    double angle = 0;
    vec3d axis;
    quatd_to_angle_axis(&a, &angle, &axis);
  });
}

TEST(MathExtremes, EulerAngles) {
  for_inputs<float, 20>([](const float *v) {
    for (int order : kOrders) {
      euler_angles e = euler_angles_make(v[0], v[1], v[2], order);
      quatf q;
      mat4f m;
      euler_to_quatf(&e, &q);
      euler_to_mat4f(&e, &m);
      // The order code read from a float position that holds anything.
      e.v[3] = v[3];
      euler_to_quatf(&e, &q);
      euler_to_mat4f(&e, &m);
      fill(m.m, v + 4);
      mat4f_to_euler(&m, order, &e);
      fill(q.v, v + 4);
      quatf_to_euler(&q, order, &e);
    }
  });
}

TEST(MathExtremes, RotationHelpers) {
  for_inputs<double, 3>([](const double *v) {
    vec3d hpb{{v[0], v[1], v[2]}}, out;
    vec3f point{{1.0f, -2.0f, 3.0f}};
    vec3f_rotate_hpb(&hpb, &point);
    vec3f_rotate_by_hpb(&hpb, &point);
    vec3f_unrotate_hpb(&hpb, &point);
    quatf q;
    hpb_to_quatf(&hpb, &q);
    float angle = 0;
    vec3f axis;
    hpb_to_axis_angle(&hpb, &angle, &axis);
    hpb_deg_to_xyz_deg(&hpb, &out);
    hpb_deg_to_zxy_deg(&hpb, &out);
    zxy_deg_to_hpb_deg(&hpb, &out);
  });
  for_inputs<float, 8>([](const float *v) {
    vec3f axis{{v[1], v[2], v[3]}}, point{{v[4], v[5], v[6]}};
    vec3f_rotate_axis_angle_deg(v[0], &axis, &point);
    vec3d out;
    axis_angle_deg_to_xyz_deg(v[7], &axis, &out);
    double heading_pitch[2];
    vec3f_to_heading_pitch(&point, heading_pitch);
    vec3f_to_heading_pitch(&axis, heading_pitch);
  });
  // The axis variables stay as they were.
  EXPECT_EQ(AXIS_X, 0);
  EXPECT_EQ(AXIS_Y, 1);
  EXPECT_EQ(AXIS_Z, 2);
  EXPECT_EQ(AXIS_W, 3);
}

TEST(MathExtremes, ChannelConversionsStayInRange) {
  for_inputs<float, 1>([](const float *v) {
    EXPECT_LE(channel_to_u8(v[0]), 255u) << v[0];
    EXPECT_LE(channel_to_u16(v[0]), 65535u) << v[0];
    EXPECT_LE(channel_to_u31(v[0]), 2147483647u) << v[0];
  });
  for (uint32_t code : {0u, 1u, 255u, 65535u, 2147483583u, 2147483647u, 2147483648u, 4294967295u}) {
    const float c = u31_to_channel(code);
    EXPECT_TRUE(c >= 0.0f && c <= 1.0f) << code;
  }
  EXPECT_EQ(u8_to_channel(255), 1.0f);
  EXPECT_EQ(u16_to_channel(65535), 1.0f);
}

}  // namespace

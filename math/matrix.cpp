#include "math/matrix.h"

#include <cstring>
#include <utility>

#include "math/fp_check.h"

namespace {

// Absolute tolerances of the comparisons, both tested in double.
constexpr double MATF_TOLERANCE = 1e-6;
constexpr double MATD_TOLERANCE = 1e-15;

// One body for the float and double twins. T is the element type, N the
// order, and every operation below is written in T, one step at a time.

template <typename T, int N, typename M>
int approx_equal(const M *a, const M *b, double tolerance) {
  for (int k = 0; k < N * N; ++k) {
    T d = a->m[k] - b->m[k];
    T mag = d < 0 ? -d : d;
    // For float the magnitude is widened here; the test itself is in double.
    // A NaN magnitude is not less than anything, so it fails.
    if (!(static_cast<double>(mag) < tolerance)) return 0;
  }
  return 1;
}

// Products. Element (i, j) is ((0 + a[i][0]*b[0][j]) + a[i][1]*b[1][j]) +
// ..., summed from +0 in increasing k. The sums of a row are carried side by
// side (k outside, j inside) and every index is a constant, so the compiler
// can interleave rows and use vector instructions without changing a single
// operation.
template <typename T, int N, int I, int K, int... J>
void mul_step(const T *a, const T *b, T *row, std::integer_sequence<int, J...>) {
  const T aik = a[N * I + K];
  ((row[J] = row[J] + aik * b[N * K + J]), ...);
}

template <typename T, int N, int I, int... K>
void mul_row(const T *a, const T *b, T *t, std::integer_sequence<int, K...>) {
  T row[N];
  for (int j = 0; j < N; ++j) row[j] = T(0);
  (mul_step<T, N, I, K>(a, b, row, std::make_integer_sequence<int, N>{}), ...);  // K in increasing order
  for (int j = 0; j < N; ++j) t[N * I + j] = row[j];
}

template <typename T, int N, int... I>
void mul_rows(const T *a, const T *b, T *t, std::integer_sequence<int, I...>) {
  (mul_row<T, N, I>(a, b, t, std::make_integer_sequence<int, N>{}), ...);
}

template <typename T, int N, typename M>
void mul(const M *a, const M *b, M *out) {
  // The product goes into a temporary first, so out may be a or b.
  M t;
  mul_rows<T, N>(a->m, b->m, t.m, std::make_integer_sequence<int, N>{});
  *out = t;
}

template <int N, typename T, typename M>
void scale(M *m, T s) {
  for (int k = 0; k < N * N; ++k) m->m[k] = m->m[k] * s;
}

template <typename T, typename V, typename M>
void vec3_mul_mat3(const V *v, const M *m, V *out) {
  for (int j = 0; j < 3; ++j) {
    T s = v->v[0] * m->m[j];
    s = s + v->v[1] * m->m[3 + j];
    s = s + v->v[2] * m->m[6 + j];
    out->v[j] = s;
  }
}

template <typename T, typename V, typename M>
void transform_point(const V *p, const M *m, V *out) {
  T r[4];
  for (int j = 0; j < 4; ++j) {
    T s = p->v[0] * m->m[j];
    s = s + p->v[1] * m->m[4 + j];
    s = s + p->v[2] * m->m[8 + j];
    r[j] = s + m->m[12 + j];
  }
  const T w = r[3];
  // A zero w (either sign) leaves the undivided values; a NaN w divides.
  if (w != T(0)) {
    r[0] = r[0] / w;
    r[1] = r[1] / w;
    r[2] = r[2] / w;
  }
  out->v[0] = r[0];
  out->v[1] = r[1];
  out->v[2] = r[2];
}

}  // namespace

extern "C" {

void mat3f_set(mat3f *m, float m00, float m01, float m02, float m10, float m11, float m12,
               float m20, float m21, float m22) {
  const float e[9] = {m00, m01, m02, m10, m11, m12, m20, m21, m22};
  std::memcpy(m->m, e, sizeof e);
}

void mat3d_set(mat3d *m, double m00, double m01, double m02, double m10, double m11, double m12,
               double m20, double m21, double m22) {
  const double e[9] = {m00, m01, m02, m10, m11, m12, m20, m21, m22};
  std::memcpy(m->m, e, sizeof e);
}

void mat4f_set(mat4f *m, float m00, float m01, float m02, float m03, float m10, float m11,
               float m12, float m13, float m20, float m21, float m22, float m23, float m30,
               float m31, float m32, float m33) {
  const float e[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                       m20, m21, m22, m23, m30, m31, m32, m33};
  std::memcpy(m->m, e, sizeof e);
}

void mat4d_set(mat4d *m, double m00, double m01, double m02, double m03, double m10, double m11,
               double m12, double m13, double m20, double m21, double m22, double m23,
               double m30, double m31, double m32, double m33) {
  const double e[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                        m20, m21, m22, m23, m30, m31, m32, m33};
  std::memcpy(m->m, e, sizeof e);
}

void mat3f_identity(mat3f *m) { mat3f_set(m, 1, 0, 0, 0, 1, 0, 0, 0, 1); }
void mat3d_identity(mat3d *m) { mat3d_set(m, 1, 0, 0, 0, 1, 0, 0, 0, 1); }
void mat4f_identity(mat4f *m) { mat4f_set(m, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1); }
void mat4d_identity(mat4d *m) { mat4d_set(m, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1); }

int mat3f_approx_equal(const mat3f *a, const mat3f *b) {
  return approx_equal<float, 3>(a, b, MATF_TOLERANCE);
}
int mat4f_approx_equal(const mat4f *a, const mat4f *b) {
  return approx_equal<float, 4>(a, b, MATF_TOLERANCE);
}
int mat3d_approx_equal(const mat3d *a, const mat3d *b) {
  return approx_equal<double, 3>(a, b, MATD_TOLERANCE);
}
int mat4d_approx_equal(const mat4d *a, const mat4d *b) {
  return approx_equal<double, 4>(a, b, MATD_TOLERANCE);
}

// memmove rather than memcpy: copying a matrix onto itself is allowed.
void mat3f_copy(mat3f *dst, const mat3f *src) { std::memmove(dst->m, src->m, sizeof dst->m); }
void mat3d_copy(mat3d *dst, const mat3d *src) { std::memmove(dst->m, src->m, sizeof dst->m); }
void mat4f_copy(mat4f *dst, const mat4f *src) { std::memmove(dst->m, src->m, sizeof dst->m); }
void mat4d_copy(mat4d *dst, const mat4d *src) { std::memmove(dst->m, src->m, sizeof dst->m); }

void vec3f_mul_mat3f(const vec3f *v, const mat3f *m, vec3f *out) {
  vec3_mul_mat3<float>(v, m, out);
}
void vec3d_mul_mat3d(const vec3d *v, const mat3d *m, vec3d *out) {
  vec3_mul_mat3<double>(v, m, out);
}

void mat4f_transform_point(const vec3f *p, const mat4f *m, vec3f *out) {
  transform_point<float>(p, m, out);
}
void mat4d_transform_point(const vec3d *p, const mat4d *m, vec3d *out) {
  transform_point<double>(p, m, out);
}

void mat3f_mul(const mat3f *a, const mat3f *b, mat3f *out) { mul<float, 3>(a, b, out); }
void mat4f_mul(const mat4f *a, const mat4f *b, mat4f *out) { mul<float, 4>(a, b, out); }
void mat3d_mul(const mat3d *a, const mat3d *b, mat3d *out) { mul<double, 3>(a, b, out); }
void mat4d_mul(const mat4d *a, const mat4d *b, mat4d *out) { mul<double, 4>(a, b, out); }

void mat3f_scale(mat3f *m, float s) { scale<3>(m, s); }
void mat3d_scale(mat3d *m, double s) { scale<3>(m, s); }
void mat4f_scale(mat4f *m, float s) { scale<4>(m, s); }
void mat4d_scale(mat4d *m, double s) { scale<4>(m, s); }

void mat4f_mul_vec4f(const mat4f *m, const vec4f *v, vec4f *out) {
  for (int i = 0; i < 4; ++i) {
    float s = m->m[4 * i] * v->v[0];
    s = s + m->m[4 * i + 1] * v->v[1];
    s = s + m->m[4 * i + 2] * v->v[2];
    s = s + m->m[4 * i + 3] * v->v[3];
    out->v[i] = s;
  }
}

}  // extern "C"

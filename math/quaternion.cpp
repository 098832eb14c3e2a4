#include "math/quaternion.h"

#include "math/fp_check.h"

#include <cmath>

// SSE2 is part of every x86-64 processor; elsewhere the product is scalar.
#if defined(__SSE2__) || defined(_M_X64)
#define KALU7_QUAT_SSE2 1
#include <emmintrin.h>
#else
#define KALU7_QUAT_SSE2 0
#endif

namespace {

constexpr int QX = 0;
constexpr int QY = 1;
constexpr int QZ = 2;
constexpr int QW = 3;

// For each axis x, y, z the next one in cyclic order; used to pick the two
// other axes once the matrix conversion has chosen its largest diagonal.
const int QUAT_NEXT_AXIS[3] = {1, 2, 0};

// Matrix element (row r, column c) of a 3x3 matrix stored row by row.
inline float m3(const mat3f *m, int r, int c) { return m->m[3 * r + c]; }

// Rounded float results of the double-precision library functions: the
// float argument is widened, evaluated in double and rounded back once.
inline float sqrt_f(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }
inline float sin_f(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
inline float cos_f(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }

// Arc cosine with its argument held to [-1, 1]. The normalised w of a
// quaternion whose squared norm is subnormal can round just above 1 (for
// (0, 0, 0, 3.85868144e-22) it does); unclamped, a valid rotation would come
// out as a NaN angle. Arguments already inside the range are untouched and
// a NaN stays a NaN.
inline double acos_clamped(double c) {
  if (c > 1.0) c = 1.0;
  if (c < -1.0) c = -1.0;
  return std::acos(c);
}

}  // namespace

extern "C" {

void quatf_normalize(const quatf *q, quatf *out) {
  const float x = q->v[QX], y = q->v[QY], z = q->v[QZ], w = q->v[QW];
  const float n = ((x * x + y * y) + z * z) + w * w;
  const float len = sqrt_f(n);
  if (len == 0.0f) {
    out->v[QX] = 0.0f;
    out->v[QY] = 0.0f;
    out->v[QZ] = 0.0f;
    out->v[QW] = 1.0f;
    return;
  }
  const float k = 1.0f / len;
  out->v[QX] = x * k;
  out->v[QY] = y * k;
  out->v[QZ] = z * k;
  out->v[QW] = w * k;
}

void quatd_normalize(const quatd *q, quatd *out) {
  const double x = q->v[QX], y = q->v[QY], z = q->v[QZ], w = q->v[QW];
  const double n = ((x * x + y * y) + z * z) + w * w;
  const double len = std::sqrt(n);
  if (len == 0.0) {
    out->v[QX] = 0.0;
    out->v[QY] = 0.0;
    out->v[QZ] = 0.0;
    out->v[QW] = 1.0;
    return;
  }
  const double k = 1.0 / len;
  out->v[QX] = x * k;
  out->v[QY] = y * k;
  out->v[QZ] = z * k;
  out->v[QW] = w * k;
}

void quatf_mul(const quatf *a, const quatf *b, quatf *out) {
#if KALU7_QUAT_SSE2
  // The four sums below, one per lane, with the lanes in the order w, x, y,
  // z so that w, the one lane that subtracts where the others add, is lane
  // 0 and can be taken from the difference with a single move. Packed
  // single-precision products and sums round exactly as the scalar ones do,
  // so the result has the same bits as the scalar code after the #else.
  const __m128 va = _mm_loadu_ps(a->v);  // (ax, ay, az, aw)
  const __m128 vb = _mm_loadu_ps(b->v);
  const __m128 p1 = _mm_mul_ps(_mm_shuffle_ps(va, va, _MM_SHUFFLE(3, 3, 3, 3)),   // (aw, aw, aw, aw)
                               _mm_shuffle_ps(vb, vb, _MM_SHUFFLE(2, 1, 0, 3)));  // (bw, bx, by, bz)
  const __m128 p2 = _mm_mul_ps(_mm_shuffle_ps(va, va, _MM_SHUFFLE(2, 1, 0, 0)),   // (ax, ax, ay, az)
                               _mm_shuffle_ps(vb, vb, _MM_SHUFFLE(3, 3, 3, 0)));  // (bx, bw, bw, bw)
  const __m128 p3 = _mm_mul_ps(_mm_shuffle_ps(va, va, _MM_SHUFFLE(0, 2, 1, 1)),   // (ay, ay, az, ax)
                               _mm_shuffle_ps(vb, vb, _MM_SHUFFLE(1, 0, 2, 1)));  // (by, bz, bx, by)
  const __m128 p4 = _mm_mul_ps(_mm_shuffle_ps(va, va, _MM_SHUFFLE(1, 0, 2, 2)),   // (az, az, ax, ay)
                               _mm_shuffle_ps(vb, vb, _MM_SHUFFLE(0, 2, 1, 2)));  // (bz, by, bz, bx)
  __m128 s = _mm_move_ss(_mm_add_ps(p1, p2), _mm_sub_ps(p1, p2));
  s = _mm_move_ss(_mm_add_ps(s, p3), _mm_sub_ps(s, p3));
  s = _mm_sub_ps(s, p4);
  _mm_storeu_ps(out->v, _mm_shuffle_ps(s, s, _MM_SHUFFLE(0, 3, 2, 1)));  // back to (x, y, z, w)
#else
  const float ax = a->v[QX], ay = a->v[QY], az = a->v[QZ], aw = a->v[QW];
  const float bx = b->v[QX], by = b->v[QY], bz = b->v[QZ], bw = b->v[QW];
  quatf t;
  t.v[QW] = ((aw * bw - ax * bx) - ay * by) - az * bz;
  t.v[QX] = ((aw * bx + ax * bw) + ay * bz) - az * by;
  t.v[QY] = ((aw * by + ay * bw) + az * bx) - ax * bz;
  t.v[QZ] = ((aw * bz + az * bw) + ax * by) - ay * bx;
  *out = t;
#endif
}

void quatf_inverse(const quatf *q, quatf *out) {
  const float x = q->v[QX], y = q->v[QY], z = q->v[QZ], w = q->v[QW];
  float n = ((x * x + y * y) + z * z) + w * w;
  if (n == 0.0f) n = 1.0f;
  const float k = 1.0f / n;
  out->v[QX] = -x * k;
  out->v[QY] = -y * k;
  out->v[QZ] = -z * k;
  out->v[QW] = w * k;
}

void quatf_to_mat3f(const quatf *q, mat3f *m) {
  const float x = q->v[QX], y = q->v[QY], z = q->v[QZ], w = q->v[QW];
  const float n = ((x * x + y * y) + z * z) + w * w;
  // Dividing by the squared norm makes every non-zero multiple of q give
  // the same matrix; the zero quaternion gets s = 1 and so the identity.
  const float s = (n == 0.0f) ? 1.0f : 2.0f / n;
  const float xs = x * s, ys = y * s, zs = z * s;
  const float wx = w * xs, wy = w * ys, wz = w * zs;
  const float xx = x * xs, xy = x * ys, xz = x * zs;
  const float yy = y * ys, yz = y * zs, zz = z * zs;
  m->m[0] = 1.0f - (yy + zz);
  m->m[1] = xy - wz;
  m->m[2] = xz + wy;
  m->m[3] = xy + wz;
  m->m[4] = 1.0f - (xx + zz);
  m->m[5] = yz - wx;
  m->m[6] = xz - wy;
  m->m[7] = yz + wx;
  m->m[8] = 1.0f - (xx + yy);
}

void mat3f_to_quatf(const mat3f *m, quatf *q) {
  float r[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  const float t = (m3(m, 0, 0) + m3(m, 1, 1)) + m3(m, 2, 2);
  if (t > 0.0f) {
    float s = static_cast<float>(std::sqrt(static_cast<double>(t) + 1.0));
    r[QW] = s * 0.5f;
    s = 0.5f / s;
    r[QX] = (m3(m, 2, 1) - m3(m, 1, 2)) * s;
    r[QY] = (m3(m, 0, 2) - m3(m, 2, 0)) * s;
    r[QZ] = (m3(m, 1, 0) - m3(m, 0, 1)) * s;
  } else {
    // Non-positive (or NaN) trace: take the root from the largest diagonal
    // element, which keeps it well away from zero for a rotation matrix.
    int i = 0;
    if (m3(m, 1, 1) > m3(m, 0, 0)) i = 1;
    if (m3(m, 2, 2) > m3(m, i, i)) i = 2;
    const int j = QUAT_NEXT_AXIS[i];
    const int k = QUAT_NEXT_AXIS[j];
    const float d = m3(m, i, i) - (m3(m, j, j) + m3(m, k, k));
    float s = static_cast<float>(std::sqrt(static_cast<double>(d) + 1.0));
    r[i] = s * 0.5f;
    // Should the root be 0, the remaining components are multiplied by 0
    // rather than divided by it.
    if (s != 0.0f) s = 0.5f / s;
    r[QW] = (m3(m, k, j) - m3(m, j, k)) * s;
    r[j] = (m3(m, j, i) + m3(m, i, j)) * s;
    r[k] = (m3(m, k, i) + m3(m, i, k)) * s;
  }
  q->v[QX] = r[QX];
  q->v[QY] = r[QY];
  q->v[QZ] = r[QZ];
  q->v[QW] = r[QW];
}

void quatf_from_angle_axis(float angle, const vec3f *axis, quatf *q) {
  const float h = angle * 0.5f;
  const float sh = sin_f(h);
  q->v[QX] = sh * axis->v[0];
  q->v[QY] = sh * axis->v[1];
  q->v[QZ] = sh * axis->v[2];
  q->v[QW] = cos_f(h);
}

void quatf_to_angle_axis(const quatf *q, float *angle, vec3f *axis) {
  quatf n;
  quatf_normalize(q, &n);
  const float h = static_cast<float>(acos_clamped(static_cast<double>(n.v[QW])));
  *angle = 2.0f * h;
  const float sh = sin_f(h);
  // Near angle 0 (and 2*pi) the axis is undefined: leave the caller's.
  if (static_cast<double>(std::fabs(sh)) > 1e-6) {
    axis->v[0] = n.v[QX] / sh;
    axis->v[1] = n.v[QY] / sh;
    axis->v[2] = n.v[QZ] / sh;
  }
}

void quatd_to_angle_axis(const quatd *q, double *angle, vec3d *axis) {
  quatd n;
  quatd_normalize(q, &n);
  const double h = acos_clamped(n.v[QW]);
  *angle = 2.0 * h;
  const double sh = std::sin(h);
  if (std::fabs(sh) > 1e-6) {
    axis->v[0] = n.v[QX] / sh;
    axis->v[1] = n.v[QY] / sh;
    axis->v[2] = n.v[QZ] / sh;
  }
}

float quatf_angle_between(const quatf *a, const quatf *b, vec3f *axis) {
  quatf r, d;
  quatf_inverse(a, &r);
  quatf_mul(&r, b, &d);
  float angle;
  quatf_to_angle_axis(&d, &angle, axis);
  return angle;
}

}  // extern "C"

#include "math/euler.h"

#include "math/fp_check.h"

#include <cmath>
#include <cstdint>
#include <utility>

extern "C" {
const int EULER_INNER_AXIS[4] = {0, 1, 2, 0};
const int EULER_NEXT_AXIS[4] = {1, 2, 0, 1};
const float EULER_GIMBAL_EPSILON = 0x1p-19f;
}

namespace {

inline float sin_f(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
inline float cos_f(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
inline float sqrt_f(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }
inline float atan2_f(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// The decoded order code: frame, repetition, parity and the three axes.
struct euler_order {
  int f, s, n;
  int i, j, k;
};

// Only the low five bits count, read in two's complement: going through
// the unsigned type keeps -1 at 31 (a signed remainder would give -1 and
// index the axis table out of bounds).
euler_order decode(std::int64_t code) {
  const unsigned bits = static_cast<unsigned>(static_cast<std::uint64_t>(code) & 31u);
  euler_order o;
  o.f = static_cast<int>(bits & 1u);
  o.s = static_cast<int>((bits >> 1) & 1u);
  o.n = static_cast<int>((bits >> 2) & 1u);
  const int field = static_cast<int>((bits >> 3) & 3u);
  o.i = EULER_INNER_AXIS[field];
  o.j = EULER_NEXT_AXIS[o.i + o.n];
  o.k = EULER_NEXT_AXIS[o.i + 1 - o.n];
  return o;
}

// The order code held as a float at position W, truncated toward zero.
// Converting a float outside the 64-bit range (or a NaN or an infinity) to
// an integer is undefined, so those read as 0; every float of 2^28 or more
// is a multiple of 32 anyway, so in-range large values read as 0 as well.
std::int64_t code_from_float(float w) {
  if (w >= -0x1p63f && w < 0x1p63f) return static_cast<std::int64_t>(w);
  return 0;
}

inline float &el(mat4f *m, int r, int c) { return m->m[4 * r + c]; }
inline float el(const mat4f *m, int r, int c) { return m->m[4 * r + c]; }

}  // namespace

extern "C" {

euler_angles euler_angles_make(float x, float y, float z, int order) {
  euler_angles e;
  e.v[0] = x;
  e.v[1] = y;
  e.v[2] = z;
  e.v[3] = static_cast<float>(order);
  return e;
}

void euler_to_quatf(const euler_angles *angles, quatf *q) {
  const euler_order o = decode(code_from_float(angles->v[AXIS_W]));
  float a = angles->v[AXIS_X], b = angles->v[AXIS_Y], c = angles->v[AXIS_Z];
  if (o.f) std::swap(a, c);
  if (o.n) b = -b;
  const float ti = a * 0.5f, tj = b * 0.5f, th = c * 0.5f;
  const float ci = cos_f(ti), cj = cos_f(tj), ch = cos_f(th);
  const float si = sin_f(ti), sj = sin_f(tj), sh = sin_f(th);
  const float cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;
  // Indexed by axis number; four entries so that any axis position of the
  // output record stays inside the array.
  float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float w;
  if (o.s) {
    v[o.i] = cj * (cs + sc);
    v[o.j] = sj * (cc + ss);
    v[o.k] = sj * (cs - sc);
    w = cj * (cc - ss);
  } else {
    v[o.i] = cj * sc - sj * cs;
    v[o.j] = cj * ss + sj * cc;
    v[o.k] = cj * cs - sj * sc;
    w = cj * cc + sj * ss;
  }
  if (o.n) v[o.j] = -v[o.j];
  q->v[AXIS_W] = w;
  q->v[AXIS_X] = v[AXIS_X];
  q->v[AXIS_Y] = v[AXIS_Y];
  q->v[AXIS_Z] = v[AXIS_Z];
}

void euler_to_mat4f(const euler_angles *angles, mat4f *m) {
  const euler_order o = decode(code_from_float(angles->v[AXIS_W]));
  float a = angles->v[AXIS_X], b = angles->v[AXIS_Y], c = angles->v[AXIS_Z];
  if (o.f) std::swap(a, c);
  if (o.n) {
    a = -a;
    b = -b;
    c = -c;
  }
  const float ci = cos_f(a), cj = cos_f(b), ch = cos_f(c);
  const float si = sin_f(a), sj = sin_f(b), sh = sin_f(c);
  const float cc = ci * ch, cs = ci * sh, sc = si * ch, ss = si * sh;
  const int i = o.i, j = o.j, k = o.k;
  mat4f r = {};
  if (o.s) {
    el(&r, i, i) = cj;
    el(&r, i, j) = sj * si;
    el(&r, i, k) = sj * ci;
    el(&r, j, i) = sj * sh;
    el(&r, j, j) = (-cj) * ss + cc;
    el(&r, j, k) = (-cj) * cs - sc;
    el(&r, k, i) = (-sj) * ch;
    el(&r, k, j) = cj * sc + cs;
    el(&r, k, k) = cj * cc - ss;
  } else {
    el(&r, i, i) = cj * ch;
    el(&r, i, j) = sj * sc - cs;
    el(&r, i, k) = sj * cc + ss;
    el(&r, j, i) = cj * sh;
    el(&r, j, j) = sj * ss + cc;
    el(&r, j, k) = sj * cs - sc;
    el(&r, k, i) = -sj;
    el(&r, k, j) = cj * si;
    el(&r, k, k) = cj * ci;
  }
  el(&r, AXIS_X, AXIS_W) = 0.0f;
  el(&r, AXIS_Y, AXIS_W) = 0.0f;
  el(&r, AXIS_Z, AXIS_W) = 0.0f;
  el(&r, AXIS_W, AXIS_X) = 0.0f;
  el(&r, AXIS_W, AXIS_Y) = 0.0f;
  el(&r, AXIS_W, AXIS_Z) = 0.0f;
  el(&r, AXIS_W, AXIS_W) = 1.0f;
  *m = r;
}

void mat4f_to_euler(const mat4f *m, int order, euler_angles *angles) {
  const euler_order o = decode(order);
  const int i = o.i, j = o.j, k = o.k;
  float x, y, z;
  if (o.s) {
    const float sy = sqrt_f(el(m, i, j) * el(m, i, j) + el(m, i, k) * el(m, i, k));
    if (sy > EULER_GIMBAL_EPSILON) {
      x = atan2_f(el(m, i, j), el(m, i, k));
      y = atan2_f(sy, el(m, i, i));
      z = atan2_f(el(m, j, i), -el(m, k, i));
    } else {
      // Gimbal lock: only the combined outer rotation is determined; it
      // all goes into x.
      x = atan2_f(-el(m, j, k), el(m, j, j));
      y = atan2_f(sy, el(m, i, i));
      z = 0.0f;
    }
  } else {
    const float cy = sqrt_f(el(m, i, i) * el(m, i, i) + el(m, j, i) * el(m, j, i));
    if (cy > EULER_GIMBAL_EPSILON) {
      x = atan2_f(el(m, k, j), el(m, k, k));
      y = atan2_f(-el(m, k, i), cy);
      z = atan2_f(el(m, j, i), el(m, i, i));
    } else {
      x = atan2_f(-el(m, j, k), el(m, j, j));
      y = atan2_f(-el(m, k, i), cy);
      z = 0.0f;
    }
  }
  if (o.n) {
    x = -x;
    y = -y;
    z = -z;
  }
  if (o.f) std::swap(x, z);
  angles->v[AXIS_X] = x;
  angles->v[AXIS_Y] = y;
  angles->v[AXIS_Z] = z;
  angles->v[AXIS_W] = static_cast<float>(order);
}

void quatf_to_euler(const quatf *q, int order, euler_angles *angles) {
  const float x = q->v[AXIS_X], y = q->v[AXIS_Y], z = q->v[AXIS_Z], w = q->v[AXIS_W];
  const float n = ((x * x + y * y) + z * z) + w * w;
  // The division by the squared length makes every non-zero multiple of q
  // give the same angles; zero (or NaN) gives s = 0 and the identity.
  const float s = (n > 0.0f) ? static_cast<float>(2.0 / static_cast<double>(n)) : 0.0f;
  const float xs = x * s, ys = y * s, zs = z * s;
  const float wx = w * xs, wy = w * ys, wz = w * zs;
  const float xx = x * xs, xy = x * ys, xz = x * zs;
  const float yy = y * ys, yz = y * zs, zz = z * zs;
  // The three diagonal differences from 1 are taken in double and rounded.
  auto one_minus = [](float t) { return static_cast<float>(1.0 - static_cast<double>(t)); };
  mat4f m = {};
  el(&m, AXIS_X, AXIS_X) = one_minus(yy + zz);
  el(&m, AXIS_X, AXIS_Y) = xy - wz;
  el(&m, AXIS_X, AXIS_Z) = xz + wy;
  el(&m, AXIS_Y, AXIS_X) = xy + wz;
  el(&m, AXIS_Y, AXIS_Y) = one_minus(xx + zz);
  el(&m, AXIS_Y, AXIS_Z) = yz - wx;
  el(&m, AXIS_Z, AXIS_X) = xz - wy;
  el(&m, AXIS_Z, AXIS_Y) = yz + wx;
  el(&m, AXIS_Z, AXIS_Z) = one_minus(xx + yy);
  el(&m, AXIS_X, AXIS_W) = 0.0f;
  el(&m, AXIS_Y, AXIS_W) = 0.0f;
  el(&m, AXIS_Z, AXIS_W) = 0.0f;
  el(&m, AXIS_W, AXIS_X) = 0.0f;
  el(&m, AXIS_W, AXIS_Y) = 0.0f;
  el(&m, AXIS_W, AXIS_Z) = 0.0f;
  el(&m, AXIS_W, AXIS_W) = 1.0f;
  mat4f_to_euler(&m, order, angles);
}

}  // extern "C"

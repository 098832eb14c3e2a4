#include "math/inverse.h"

#include "math/fp_check.h"
#include "math/matrix.h"

#include <utility>

namespace {

// Determinants below these magnitudes are refused by the inverses; both are
// compared in double.
constexpr double INVF_THRESHOLD = 1e-6;
constexpr double INVD_THRESHOLD = 1e-15;

// Float and double twins share one body; the element type T carries all the
// arithmetic.
template <typename T>
struct Kind;
template <>
struct Kind<float> {
  using M3 = mat3f;
  using M4 = mat4f;
  static constexpr auto scale3 = mat3f_scale;
  static constexpr double threshold = INVF_THRESHOLD;
};
template <>
struct Kind<double> {
  using M3 = mat3d;
  using M4 = mat4d;
  static constexpr auto scale3 = mat3d_scale;
  static constexpr double threshold = INVD_THRESHOLD;
};

template <typename T>
T det2(T a, T b, T c, T d) {
  const T ad = a * d;
  const T bc = b * c;
  return ad - bc;
}

// e(m, i, j): element (row i, column j).
template <int N, typename M>
auto e(const M *m, int i, int j) -> decltype(m->m[0]) {
  return m->m[N * i + j];
}

template <typename T, typename M3>
T det3(const M3 *m) {
  const T d0 = det2<T>(e<3>(m, 1, 1), e<3>(m, 2, 1), e<3>(m, 1, 2), e<3>(m, 2, 2));
  const T d1 = det2<T>(e<3>(m, 1, 0), e<3>(m, 2, 0), e<3>(m, 1, 2), e<3>(m, 2, 2));
  const T d2 = det2<T>(e<3>(m, 1, 0), e<3>(m, 2, 0), e<3>(m, 1, 1), e<3>(m, 2, 1));
  T det = e<3>(m, 0, 0) * d0;
  det = det - e<3>(m, 0, 1) * d1;
  det = det + e<3>(m, 0, 2) * d2;
  return det;
}

// dst[j][i] = (-1)^(i+j) * det2 of the minor of (i, j) in natural layout.
template <typename T, typename M3>
void adj3(const M3 *src, M3 *dst) {
  for (int i = 0; i < 3; ++i) {
    const int r0 = i == 0 ? 1 : 0, r1 = i == 2 ? 1 : 2;
    for (int j = 0; j < 3; ++j) {
      const int c0 = j == 0 ? 1 : 0, c1 = j == 2 ? 1 : 2;
      const T d = det2<T>(e<3>(src, r0, c0), e<3>(src, r0, c1), e<3>(src, r1, c0),
                          e<3>(src, r1, c1));
      dst->m[3 * j + i] = (i + j) % 2 ? -d : d;
    }
  }
}

// The 3x3 determinants of the minors of a 4x4 matrix, unsigned:
// c[4*i + j] is the determinant of the transposed minor of row i and column
// j, exactly as det3 forms it. Expanding det3 on the transposed minor gives
//   m[r0][c0]*D(r1,r2) - m[r1][c0]*D(r0,r2) + m[r2][c0]*D(r0,r1)
// with r0 < r1 < r2 the other rows, c0 < c1 < c2 the other columns and
// D(ra,rb) = m[ra][c1]*m[rb][c2] - m[ra][c2]*m[rb][c1]. Only three column
// pairs (c1, c2) and six row pairs occur, so the eighteen 2x2 determinants
// are formed once and shared: the same operations on the same operands in
// the same order, so the same bits as forming each minor on its own. With
// Rows = 1 only row 0's minors are formed (what the determinant needs).
// Everything is written out with constant indices, so it compiles to
// straight-line code that keeps its values in registers.
template <typename T, int Rows>
void minor_dets(const T *m, T *c) {
  auto at = [m](int r, int k) { return m[4 * r + k]; };
  auto d = [&](int ra, int rb, int c1, int c2) {
    return det2<T>(at(ra, c1), at(ra, c2), at(rb, c1), at(rb, c2));
  };
  auto minor = [&](int r0, int r1, int r2, int c0, T d12, T d02, T d01) {
    T v = at(r0, c0) * d12;
    v = v - at(r1, c0) * d02;
    v = v + at(r2, c0) * d01;
    return v;
  };
  // Row pairs of rows 1..3 for the column pairs (2,3), (1,3) and (1,2).
  const T a12 = d(1, 2, 2, 3), a13 = d(1, 3, 2, 3), a23 = d(2, 3, 2, 3);
  const T b12 = d(1, 2, 1, 3), b13 = d(1, 3, 1, 3), b23 = d(2, 3, 1, 3);
  const T e12 = d(1, 2, 1, 2), e13 = d(1, 3, 1, 2), e23 = d(2, 3, 1, 2);
  // Row 0: rows 1, 2, 3 remain. Column 0 leaves c0 = 1 and the pair (2,3);
  // columns 1, 2, 3 leave c0 = 0 and the pairs (2,3), (1,3), (1,2).
  c[0] = minor(1, 2, 3, 1, a23, a13, a12);
  c[1] = minor(1, 2, 3, 0, a23, a13, a12);
  c[2] = minor(1, 2, 3, 0, b23, b13, b12);
  c[3] = minor(1, 2, 3, 0, e23, e13, e12);
  if constexpr (Rows == 4) {
    const T a01 = d(0, 1, 2, 3), a02 = d(0, 2, 2, 3), a03 = d(0, 3, 2, 3);
    const T b01 = d(0, 1, 1, 3), b02 = d(0, 2, 1, 3), b03 = d(0, 3, 1, 3);
    const T e01 = d(0, 1, 1, 2), e02 = d(0, 2, 1, 2), e03 = d(0, 3, 1, 2);
    c[4] = minor(0, 2, 3, 1, a23, a03, a02);  // row 1: rows 0, 2, 3 remain
    c[5] = minor(0, 2, 3, 0, a23, a03, a02);
    c[6] = minor(0, 2, 3, 0, b23, b03, b02);
    c[7] = minor(0, 2, 3, 0, e23, e03, e02);
    c[8] = minor(0, 1, 3, 1, a13, a03, a01);  // row 2: rows 0, 1, 3 remain
    c[9] = minor(0, 1, 3, 0, a13, a03, a01);
    c[10] = minor(0, 1, 3, 0, b13, b03, b01);
    c[11] = minor(0, 1, 3, 0, e13, e03, e01);
    c[12] = minor(0, 1, 2, 1, a12, a02, a01);  // row 3: rows 0, 1, 2 remain
    c[13] = minor(0, 1, 2, 0, a12, a02, a01);
    c[14] = minor(0, 1, 2, 0, b12, b02, b01);
    c[15] = minor(0, 1, 2, 0, e12, e02, e01);
  }
}

template <typename T, int... K>
void signed_scaled(const T *c, T s, T *dst, std::integer_sequence<int, K...>) {
  // dst[j][i] = (-1)^(i+j) * minor (i, j) * s, with K = 4*i + j.
  ((dst[4 * (K % 4) + K / 4] = ((K / 4 + K % 4) % 2 ? -c[K] : c[K]) * s), ...);
}

template <typename T, int... K>
void signed_only(const T *c, T *dst, std::integer_sequence<int, K...>) {
  ((dst[4 * (K % 4) + K / 4] = (K / 4 + K % 4) % 2 ? -c[K] : c[K]), ...);
}

// Expansion along row 0 with that row's minors.
template <typename T>
T det4_from(const T *m, const T *c) {
  T det = m[0] * c[0];
  det = det - m[1] * c[1];
  det = det + m[2] * c[2];
  det = det - m[3] * c[3];
  return det;
}

template <typename T, typename M4>
T det4(const M4 *m) {
  T c[4];
  minor_dets<T, 1>(m->m, c);
  return det4_from<T>(m->m, c);
}

template <typename T, typename M4>
void adj4(const M4 *src, M4 *dst) {
  T c[16];
  minor_dets<T, 4>(src->m, c);
  signed_only(c, dst->m, std::make_integer_sequence<int, 16>{});
}

template <typename T>
bool refused(T det) {
  // The float determinant is widened before its magnitude is taken, and the
  // test is in double. A NaN is not less than the threshold: not refused.
  double mag = static_cast<double>(det);
  if (mag < 0) mag = -mag;
  return mag < Kind<T>::threshold;
}

template <typename T, typename M3>
void invert3(const M3 *src, M3 *dst) {
  const T det = det3<T>(src);
  if (refused<T>(det)) return;
  adj3<T>(src, dst);
  const T s = T(1) / det;
  Kind<T>::scale3(dst, s);
}

// The determinant's row-0 minors are among the adjugate's, so all sixteen
// are formed once, before anything is written.
template <typename T, typename M4>
void invert4(const M4 *src, M4 *dst) {
  T c[16];
  minor_dets<T, 4>(src->m, c);
  const T det = det4_from<T>(src->m, c);
  if (refused<T>(det)) return;
  const T s = T(1) / det;
  signed_scaled(c, s, dst->m, std::make_integer_sequence<int, 16>{});
}

}  // namespace

extern "C" {

float mat2f_determinant(float a, float b, float c, float d) { return det2<float>(a, b, c, d); }
double mat2d_determinant(double a, double b, double c, double d) {
  return det2<double>(a, b, c, d);
}

float mat3f_determinant(const mat3f *m) { return det3<float>(m); }
double mat3d_determinant(const mat3d *m) { return det3<double>(m); }
float mat4f_determinant(const mat4f *m) { return det4<float>(m); }
double mat4d_determinant(const mat4d *m) { return det4<double>(m); }

void mat3f_adjugate(const mat3f *src, mat3f *dst) { adj3<float>(src, dst); }
void mat3d_adjugate(const mat3d *src, mat3d *dst) { adj3<double>(src, dst); }
void mat4f_adjugate(const mat4f *src, mat4f *dst) { adj4<float>(src, dst); }
void mat4d_adjugate(const mat4d *src, mat4d *dst) { adj4<double>(src, dst); }

void mat3f_invert(const mat3f *src, mat3f *dst) { invert3<float>(src, dst); }
void mat3d_invert(const mat3d *src, mat3d *dst) { invert3<double>(src, dst); }
void mat4f_invert(const mat4f *src, mat4f *dst) { invert4<float>(src, dst); }
void mat4d_invert(const mat4d *src, mat4d *dst) { invert4<double>(src, dst); }

}  // extern "C"

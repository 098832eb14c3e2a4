#include "math/inverse.h"

#include "math/fp_check.h"
#include "math/matrix.h"

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
  static constexpr auto set3 = mat3f_set;
  static constexpr auto scale3 = mat3f_scale;
  static constexpr auto scale4 = mat4f_scale;
  static constexpr double threshold = INVF_THRESHOLD;
};
template <>
struct Kind<double> {
  using M3 = mat3d;
  using M4 = mat4d;
  static constexpr auto set3 = mat3d_set;
  static constexpr auto scale3 = mat3d_scale;
  static constexpr auto scale4 = mat4d_scale;
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

// Fill t with the transposed minor of m for deleted row i and column j:
// t[k][l] = m[r_l][c_k], with r the other rows and c the other columns in
// ascending order.
template <typename T, typename M4, typename M3>
void transposed_minor(const M4 *m, int i, int j, M3 *t) {
  int r[3], c[3];
  for (int k = 0, n = 0; k < 4; ++k)
    if (k != i) r[n++] = k;
  for (int k = 0, n = 0; k < 4; ++k)
    if (k != j) c[n++] = k;
  Kind<T>::set3(t,
                e<4>(m, r[0], c[0]), e<4>(m, r[1], c[0]), e<4>(m, r[2], c[0]),
                e<4>(m, r[0], c[1]), e<4>(m, r[1], c[1]), e<4>(m, r[2], c[1]),
                e<4>(m, r[0], c[2]), e<4>(m, r[1], c[2]), e<4>(m, r[2], c[2]));
}

template <typename T, typename M4>
T det4(const M4 *m) {
  typename Kind<T>::M3 t;
  T c[4];
  for (int j = 0; j < 4; ++j) {
    transposed_minor<T>(m, 0, j, &t);
    c[j] = det3<T>(&t);
  }
  T det = e<4>(m, 0, 0) * c[0];
  det = det - e<4>(m, 0, 1) * c[1];
  det = det + e<4>(m, 0, 2) * c[2];
  det = det - e<4>(m, 0, 3) * c[3];
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

template <typename T, typename M4>
void adj4(const M4 *src, M4 *dst) {
  typename Kind<T>::M3 t;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      transposed_minor<T>(src, i, j, &t);
      const T d = det3<T>(&t);
      dst->m[4 * j + i] = (i + j) % 2 ? -d : d;
    }
  }
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

template <typename T, typename M4>
void invert4(const M4 *src, M4 *dst) {
  const T det = det4<T>(src);
  if (refused<T>(det)) return;
  adj4<T>(src, dst);
  const T s = T(1) / det;
  Kind<T>::scale4(dst, s);
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

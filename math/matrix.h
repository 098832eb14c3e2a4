/* Matrix basics: fill, identity, comparison within a tolerance, copy,
 * products, scaling, and applying a matrix to vectors and points.
 *
 * Index of prototypes
 *   void mat3f_set(mat3f *m, 9 floats)            void mat3d_set(mat3d *m, 9 doubles)
 *   void mat4f_set(mat4f *m, 16 floats)           void mat4d_set(mat4d *m, 16 doubles)
 *   void mat3f_identity(mat3f *m)                 void mat3d_identity(mat3d *m)
 *   void mat4f_identity(mat4f *m)                 void mat4d_identity(mat4d *m)
 *   int  mat3f_approx_equal(const mat3f *a, const mat3f *b)
 *   int  mat4f_approx_equal(const mat4f *a, const mat4f *b)
 *   int  mat3d_approx_equal(const mat3d *a, const mat3d *b)
 *   int  mat4d_approx_equal(const mat4d *a, const mat4d *b)
 *   void mat3f_copy(mat3f *dst, const mat3f *src) void mat3d_copy(mat3d *dst, const mat3d *src)
 *   void mat4f_copy(mat4f *dst, const mat4f *src) void mat4d_copy(mat4d *dst, const mat4d *src)
 *   void vec3f_mul_mat3f(const vec3f *v, const mat3f *m, vec3f *out)
 *   void vec3d_mul_mat3d(const vec3d *v, const mat3d *m, vec3d *out)
 *   void mat4f_transform_point(const vec3f *p, const mat4f *m, vec3f *out)
 *   void mat4d_transform_point(const vec3d *p, const mat4d *m, vec3d *out)
 *   void mat3f_mul(const mat3f *a, const mat3f *b, mat3f *out)
 *   void mat4f_mul(const mat4f *a, const mat4f *b, mat4f *out)
 *   void mat3d_mul(const mat3d *a, const mat3d *b, mat3d *out)
 *   void mat4d_mul(const mat4d *a, const mat4d *b, mat4d *out)
 *   void mat3f_scale(mat3f *m, float s)           void mat3d_scale(mat3d *m, double s)
 *   void mat4f_scale(mat4f *m, float s)           void mat4d_scale(mat4d *m, double s)
 *   void mat4f_mul_vec4f(const mat4f *m, const vec4f *v, vec4f *out)
 *
 * Conventions
 *   Element (row i, column j) is m[3*i + j] of a 3x3 and m[4*i + j] of a 4x4
 *   matrix. Inputs come first and the output last; set, identity and scale take
 *   the matrix they write first; the copies take the destination first.
 *   Pointers must refer to whole records; none is checked for null.
 *
 *   Two vector conventions are in use:
 *   - row vector on the left (v*M): vec3f_mul_mat3f, vec3d_mul_mat3d and the
 *     point transforms. A 4x4 transform used this way holds its translation in
 *     row 3 (elements 12, 13, 14) and its homogeneous w in column 3
 *     (elements 3, 7, 11, 15);
 *   - column vector on the right (M*v): mat4f_mul_vec4f, which therefore acts
 *     as the transpose of the row-vector form of the same matrix.
 *
 *   Results are defined to the bit: every sum, difference and product is
 *   formed in the element type, one operation at a time, left to right, with
 *   no wider intermediates and no fused multiply-add. Every sum of products
 *   starts from +0, so a -0.0 that would otherwise pass through unchanged
 *   comes back as +0.0 (the identity times a matrix holding -0.0, say).
 */
#ifndef KALU7_MATH_MATRIX_H
#define KALU7_MATH_MATRIX_H

#include "math/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fill every element in storage order: row 0 left to right, then row 1, ...
 * @param[out] m   the matrix written
 * @param[in]  mIJ the value of row I, column J */
void mat3f_set(mat3f *m,
               float m00, float m01, float m02,
               float m10, float m11, float m12,
               float m20, float m21, float m22);
void mat3d_set(mat3d *m,
               double m00, double m01, double m02,
               double m10, double m11, double m12,
               double m20, double m21, double m22);
void mat4f_set(mat4f *m,
               float m00, float m01, float m02, float m03,
               float m10, float m11, float m12, float m13,
               float m20, float m21, float m22, float m23,
               float m30, float m31, float m32, float m33);
void mat4d_set(mat4d *m,
               double m00, double m01, double m02, double m03,
               double m10, double m11, double m12, double m13,
               double m20, double m21, double m22, double m23,
               double m30, double m31, double m32, double m33);

/* 1 on the diagonal, +0 elsewhere (filled through the set operation).
 * @param[out] m the matrix written */
void mat3f_identity(mat3f *m);
void mat3d_identity(mat3d *m);
void mat4f_identity(mat4f *m);
void mat4d_identity(mat4d *m);

/* 1 when every element of a lies strictly within an absolute tolerance of the
 * same element of b, else 0. The float variants form each difference and its
 * magnitude in float and compare it, widened to double, against the double
 * 1e-6; the double variants compare against 1e-15. A NaN in either matrix,
 * or the same infinity in both (inf - inf is NaN), yields 0.
 * @param[in] a, b the matrices compared; they may be the same record */
int mat3f_approx_equal(const mat3f *a, const mat3f *b);
int mat4f_approx_equal(const mat4f *a, const mat4f *b);
int mat3d_approx_equal(const mat3d *a, const mat3d *b);
int mat4d_approx_equal(const mat4d *a, const mat4d *b);

/* Copy every element of src into dst.
 * @param[out] dst the destination (first argument)
 * @param[in]  src the source; it may be dst itself, which is then unchanged */
void mat3f_copy(mat3f *dst, const mat3f *src);
void mat3d_copy(mat3d *dst, const mat3d *src);
void mat4f_copy(mat4f *dst, const mat4f *src);
void mat4d_copy(mat4d *dst, const mat4d *src);

/* out = v*m with v as a row vector:
 * out_j = (v.x*m[0][j] + v.y*m[1][j]) + v.z*m[2][j].
 * @param[in]  v   the row vector
 * @param[in]  m   the matrix
 * @param[out] out the result; must not be v (it may not overlap v) */
void vec3f_mul_mat3f(const vec3f *v, const mat3f *m, vec3f *out);
void vec3d_mul_mat3d(const vec3d *v, const mat3d *m, vec3d *out);

/* out = (p, 1)*m, then divided component by component by the resulting w
 * when w is not zero (a NaN w divides; a w of +0 or -0 leaves the undivided
 * values, translation included, and nothing reports it).
 * @param[in]  p   the point
 * @param[in]  m   the transform, translation in row 3, w in column 3
 * @param[out] out the result; must not be p */
void mat4f_transform_point(const vec3f *p, const mat4f *m, vec3f *out);
void mat4d_transform_point(const vec3d *p, const mat4d *m, vec3d *out);

/* out = a*b; each element sums its products in ascending k from +0.
 * @param[in]  a, b the factors
 * @param[out] out  the product; it may be a, b or both: it is written only
 *                  after the whole product is formed */
void mat3f_mul(const mat3f *a, const mat3f *b, mat3f *out);
void mat4f_mul(const mat4f *a, const mat4f *b, mat4f *out);
void mat3d_mul(const mat3d *a, const mat3d *b, mat3d *out);
void mat4d_mul(const mat4d *a, const mat4d *b, mat4d *out);

/* Multiply every element of m by s, in place.
 * @param[in,out] m the matrix
 * @param[in]     s the factor */
void mat3f_scale(mat3f *m, float s);
void mat3d_scale(mat3d *m, double s);
void mat4f_scale(mat4f *m, float s);
void mat4d_scale(mat4d *m, double s);

/* out = m*v with v as a column vector:
 * out_i = ((m[i][0]*v.x + m[i][1]*v.y) + m[i][2]*v.z) + m[i][3]*v.w.
 * @param[in]  m   the matrix
 * @param[in]  v   the column vector (x, y, z, w at indices 0..3)
 * @param[out] out the result; must not be v */
void mat4f_mul_vec4f(const mat4f *m, const vec4f *v, vec4f *out);

#ifdef __cplusplus
}
#endif

#endif

/* Determinants, adjugates and inverses by cofactor expansion (no elimination,
 * no pivoting): a 4x4 operation reduces to 3x3 determinants, a 3x3 one to
 * 2x2 determinants.
 *
 * Index of prototypes
 *   float  mat2f_determinant(float a, float b, float c, float d)
 *   double mat2d_determinant(double a, double b, double c, double d)
 *   float  mat3f_determinant(const mat3f *m)
 *   double mat3d_determinant(const mat3d *m)
 *   float  mat4f_determinant(const mat4f *m)
 *   double mat4d_determinant(const mat4d *m)
 *   void   mat3f_adjugate(const mat3f *src, mat3f *dst)
 *   void   mat3d_adjugate(const mat3d *src, mat3d *dst)
 *   void   mat4f_adjugate(const mat4f *src, mat4f *dst)
 *   void   mat4d_adjugate(const mat4d *src, mat4d *dst)
 *   void   mat3f_invert(const mat3f *src, mat3f *dst)
 *   void   mat3d_invert(const mat3d *src, mat3d *dst)
 *   void   mat4f_invert(const mat4f *src, mat4f *dst)
 *   void   mat4d_invert(const mat4d *src, mat4d *dst)
 *
 * Every product, sum and difference is formed in the element type, one
 * operation at a time, in the order given below; the float operations work
 * entirely in float except for the threshold test of the inverses, which is
 * made in double. A negated +0 is -0, so the cofactors at odd row + column
 * of a matrix with zeros there come out as -0.0 (the inverse of the identity
 * holds -0.0 at those positions).
 *
 * Aliasing: the adjugates and inverses write dst element by element while
 * still reading src, so dst must be a different matrix from src.
 * Pointers must refer to whole matrices; none is checked for null.
 */
#ifndef KALU7_MATH_INVERSE_H
#define KALU7_MATH_INVERSE_H

#include "math/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Determinant of [[a, b], [c, d]]: the product a*d, then b*c, then their
 * difference.
 * @param[in] a, b, c, d the matrix, row by row
 * @return a*d - b*c */
float mat2f_determinant(float a, float b, float c, float d);
double mat2d_determinant(double a, double b, double c, double d);

/* Expansion along row 0:
 *   det = (m[0][0]*d0 - m[0][1]*d1) + m[0][2]*d2
 * with d0, d1, d2 the 2x2 determinants of the minors of row 0.
 * Infinities and NaNs go through the arithmetic.
 * @param[in] m the matrix
 * @return the determinant */
float mat3f_determinant(const mat3f *m);
double mat3d_determinant(const mat3d *m);

/* Expansion along row 0:
 *   det = ((m[0][0]*c0 - m[0][1]*c1) + m[0][2]*c2) - m[0][3]*c3
 * where cj is the 3x3 determinant of the minor of row 0 and column j, laid
 * out transposed (its row k is column k of the minor), which fixes the
 * order of the arithmetic.
 * @param[in] m the matrix
 * @return the determinant */
float mat4f_determinant(const mat4f *m);
double mat4d_determinant(const mat4d *m);

/* dst[j][i] = (-1)^(i+j) * (determinant of src with row i and column j
 * deleted): the transposed matrix of cofactors. The 4x4 variants evaluate
 * the 3x3 minors laid out transposed, i in the outer loop, j in the inner.
 * @param[in]  src the matrix
 * @param[out] dst the adjugate; must not be src */
void mat3f_adjugate(const mat3f *src, mat3f *dst);
void mat3d_adjugate(const mat3d *src, mat3d *dst);
void mat4f_adjugate(const mat4f *src, mat4f *dst);
void mat4d_adjugate(const mat4d *src, mat4d *dst);

/* dst = adjugate(src) scaled by 1/det(src), the reciprocal a single division
 * in the element type.
 *
 * Refusal: when |det| is strictly below the threshold (1e-6 for the float
 * variants, det widened to double before the test; 1e-15 for the double
 * variants), the call returns without writing dst at all, and reports
 * nothing. The threshold is absolute: a well-conditioned matrix with small
 * entries is refused. A NaN determinant is not refused, and every element of
 * dst becomes NaN.
 * @param[in]  src the matrix
 * @param[out] dst the inverse, or left exactly as it was; must not be src */
void mat3f_invert(const mat3f *src, mat3f *dst);
void mat3d_invert(const mat3d *src, mat3d *dst);
void mat4f_invert(const mat4f *src, mat4f *dst);
void mat4d_invert(const mat4d *src, mat4d *dst);

#ifdef __cplusplus
}
#endif

#endif

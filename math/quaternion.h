/* Quaternions: normalisation, the Hamilton product, the inverse, conversion
 * to and from a 3x3 rotation matrix and to and from an angle about an axis.
 *
 *   void  quatf_normalize(const quatf *q, quatf *out);
 *   void  quatd_normalize(const quatd *q, quatd *out);
 *   void  quatf_mul(const quatf *a, const quatf *b, quatf *out);
 *   void  quatf_inverse(const quatf *q, quatf *out);
 *   void  quatf_to_mat3f(const quatf *q, mat3f *m);
 *   void  mat3f_to_quatf(const mat3f *m, quatf *q);
 *   void  quatf_from_angle_axis(float angle, const vec3f *axis, quatf *q);
 *   void  quatf_to_angle_axis(const quatf *q, float *angle, vec3f *axis);
 *   void  quatd_to_angle_axis(const quatd *q, double *angle, vec3d *axis);
 *   float quatf_angle_between(const quatf *a, const quatf *b, vec3f *axis);
 *
 * Components are at the fixed indices x = 0, y = 1, z = 2, w = 3; w is the
 * scalar part. The rotation by angle t about the unit axis u is
 * (u*sin(t/2), cos(t/2)); a (x) b is the Hamilton product, so the matrix of
 * a (x) b is M(a)*M(b): b acts first. Matrices rotate column vectors (M*v).
 * Angles are in radians.
 *
 * Results are defined to the bit: float sums, differences, products and
 * quotients are evaluated one at a time in the order written, square roots,
 * sines, cosines and arc cosines on the argument widened to double and
 * rounded back to float. No operation allocates, keeps state or reports an
 * error; degenerate input follows the fixed rules given with each function.
 * Inputs are never modified. No pointer may be null.
 */
#ifndef KALU7_MATH_QUATERNION_H
#define KALU7_MATH_QUATERNION_H

#include "math/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* q scaled to unit length: ((x^2 + y^2) + z^2) + w^2, its root, then each
 * component times 1/len. A zero length gives (0, 0, 0, 1); a length that is
 * not a number gives a result that is not a number.
 * @param[in]  q    quaternion
 * @param[out] out  result; may be the same record as q */
void quatf_normalize(const quatf *q, quatf *out);

/* As quatf_normalize, every step in double precision.
 * @param[in]  q    quaternion
 * @param[out] out  result; may be the same record as q */
void quatd_normalize(const quatd *q, quatd *out);

/* The Hamilton product a (x) b, a being the left factor:
 * (1,0,0,0) (x) (0,1,0,0) = (0,0,1,0).
 * @param[in]  a    left factor
 * @param[in]  b    right factor
 * @param[out] out  product; may be the same record as a, as b, or both */
void quatf_mul(const quatf *a, const quatf *b, quatf *out);

/* The conjugate divided by the squared norm. The input need not be of unit
 * length; a squared norm of 0 counts as 1, so zero comes back as (signed)
 * zero. Signs follow the arithmetic: (0,0,0,2) gives (-0,-0,-0,0.5).
 * @param[in]  q    quaternion
 * @param[out] out  inverse; may be the same record as q */
void quatf_inverse(const quatf *q, quatf *out);

/* The rotation matrix of q (for column vectors). q need not be of unit
 * length: every non-zero multiple of q gives the same matrix, and the zero
 * quaternion gives the identity.
 * @param[in]  q  quaternion
 * @param[out] m  all nine elements written */
void quatf_to_mat3f(const quatf *q, mat3f *m);

/* The quaternion of a rotation matrix, not normalised afterwards. With a
 * positive trace the result has w > 0; otherwise the component of the
 * largest diagonal element (the earlier axis on ties) comes from the root
 * and is never negative. A trace that is not a number takes the second way.
 * @param[in]  m  rotation matrix
 * @param[out] q  all four components written */
void mat3f_to_quatf(const mat3f *m, quatf *q);

/* (axis*sin(angle/2), cos(angle/2)). The axis is not normalised, so the
 * result has unit length only when the axis has.
 * @param[in]  angle  radians
 * @param[in]  axis   rotation axis
 * @param[out] q      all four components written */
void quatf_from_angle_axis(float angle, const vec3f *axis, quatf *q);

/* The angle (in [0, 2*pi]; above pi when w < 0) and the axis of the rotation
 * of q, which is normalised first (zero becomes the identity). The cosine
 * of the half angle is clamped to [-1, 1] before its arc cosine: rounding
 * in the normalisation of a tiny quaternion can push it just past 1.
 * The axis is written only when |sin(angle/2)| > 1e-6; otherwise it keeps
 * whatever the caller put there.
 * @param[in]  q      quaternion, any non-zero length
 * @param[out] angle  always written
 * @param[out] axis   written only when the axis is defined */
void quatf_to_angle_axis(const quatf *q, float *angle, vec3f *axis);

/* As quatf_to_angle_axis, every step in double precision (the axis
 * threshold is 1e-6 here too).
 * @param[in]  q      quaternion
 * @param[out] angle  always written
 * @param[out] axis   written only when the axis is defined */
void quatd_to_angle_axis(const quatd *q, double *angle, vec3d *axis);

/* The rotation d with a (x) d = b, converted as by quatf_to_angle_axis.
 * The angle is not folded onto the shorter arc: (0,0,0,1) and (0,0,0,-1)
 * give 2*pi.
 * @param[in]  a     starting orientation
 * @param[in]  b     final orientation
 * @param[out] axis  written only when the axis is defined
 * @return the angle of d, radians */
float quatf_angle_between(const quatf *a, const quatf *b, vec3f *axis);

#ifdef __cplusplus
}
#endif

#endif

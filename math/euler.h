/* Euler angles in any of the 24 rotation orders of a packed order code, and
 * their conversions to and from quaternions and 4x4 rotation matrices
 * (Shoemake's construction, Graphics Gems IV).
 *
 *   extern const int   EULER_INNER_AXIS[4];
 *   extern const int   EULER_NEXT_AXIS[4];
 *   extern const float EULER_GIMBAL_EPSILON;
 *   euler_angles euler_angles_make(float x, float y, float z, int order);
 *   void euler_to_quatf(const euler_angles *angles, quatf *q);
 *   void euler_to_mat4f(const euler_angles *angles, mat4f *m);
 *   void mat4f_to_euler(const mat4f *m, int order, euler_angles *angles);
 *   void quatf_to_euler(const quatf *q, int order, euler_angles *angles);
 *
 * The order code: code = 8*field + 4*n + 2*s + f, of which only the low five
 * bits count (two's complement, so -1 reads as 31):
 *   f      bit 0     0: static axes, 1: rotating axes
 *   s      bit 1     1: the first axis is used again for the third rotation
 *   n      bit 2     parity, 0: even, 1: odd
 *   field  bits 3-4  i = EULER_INNER_AXIS[field] (a field of 3 acts like 0,
 *                    so codes 24..31 act like 0..7)
 * with j = EULER_NEXT_AXIS[i + n], k = EULER_NEXT_AXIS[i + 1 - n] and
 * third = (s ? i : k). Angle x belongs to the first rotation made, y to the
 * second, z to the third; with R_a the right-handed rotation about axis a:
 *   static axes:   M = R_third(z) * R_j(y) * R_i(x)
 *   rotating axes: M = R_third(x) * R_j(y) * R_i(z)
 * Order 0 is X, Y, Z about the static axes; order 17 is Y, X, Z rotating.
 *
 * Records are addressed through the axis variables AXIS_X..AXIS_W; matrices
 * rotate column vectors (M*v), element (r, c) at index 4r + c, the rotation
 * in rows and columns X, Y, Z, row and column W holding (0, 0, 0, 1).
 *
 * Results are defined to the bit: float arithmetic one operation at a time
 * in the written order, sines, cosines, arc tangents and roots evaluated in
 * double on widened arguments and rounded to float. Inputs are never
 * modified; nothing allocates, keeps state or reports an error. No pointer
 * may be null. Input and output are records of different types and must
 * not overlap.
 */
#ifndef KALU7_MATH_EULER_H
#define KALU7_MATH_EULER_H

#include "math/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Inner axis of each value of the order code's field: (0, 1, 2, 0). */
extern const int EULER_INNER_AXIS[4];

/* Next axis in cyclic order (x -> y -> z -> x), with a fourth entry so that
 * an index of 3 is valid: (1, 2, 0, 1). */
extern const int EULER_NEXT_AXIS[4];

/* Gimbal-lock threshold of mat4f_to_euler: the float 2^-19
 * (1.9073486e-6), compared strictly in single precision. */
extern const float EULER_GIMBAL_EPSILON;

/* A record holding x, y, z unchanged at positions 0, 1, 2 and the order,
 * converted to float, at position 3.
 * @param[in] x, y, z  angles, radians
 * @param[in] order    order code (stored as given)
 * @return the record */
euler_angles euler_angles_make(float x, float y, float z, int order);

/* The quaternion of an angle record (unit length up to rounding; w may be
 * negative). The order code is read from position W: the float truncated
 * toward zero as a 64-bit integer, its low five bits taken; a W that is not
 * finite or lies beyond the 64-bit range reads as 0.
 * @param[in]  angles  angle record, unchanged
 * @param[out] q       all four components written */
void euler_to_quatf(const euler_angles *angles, quatf *q);

/* The 4x4 rotation matrix of an angle record; the order code is read from
 * position W as by euler_to_quatf.
 * @param[in]  angles  angle record, unchanged
 * @param[out] m       all sixteen elements written */
void euler_to_mat4f(const euler_angles *angles, mat4f *m);

/* Angles of the given order for a rotation matrix. Only the nine elements
 * of rows and columns X, Y, Z are read. x and z lie in [-pi, pi] (float(pi)
 * included); y in [-pi/2, pi/2] for the non-repeating orders, [0, pi] for
 * the repeating orders of even parity and [-pi, 0] for those of odd parity.
 * At gimbal lock (the relevant root not above EULER_GIMBAL_EPSILON, or not
 * a number) the combined outer rotation goes into one outer angle and 0
 * into the other: the third angle is 0 for static axes, the first for
 * rotating axes.
 * @param[in]  m       rotation matrix
 * @param[in]  order   order code; its low five bits count
 * @param[out] angles  all four positions written; W holds order as float */
void mat4f_to_euler(const mat4f *m, int order, euler_angles *angles);

/* Angles of the given order for a quaternion of any non-zero length (q and
 * -q, and every non-zero multiple, give the same angles); the zero
 * quaternion gives angles of (signed) zero.
 * @param[in]  q       quaternion
 * @param[in]  order   order code; its low five bits count
 * @param[out] angles  all four positions written; W holds order as float */
void quatf_to_euler(const quatf *q, int order, euler_angles *angles);

#ifdef __cplusplus
}
#endif

#endif

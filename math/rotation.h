/* Rotation helpers built on the Euler-angle conversions: rotating points
 * about an axis or by heading, pitch and bank, turning heading, pitch and
 * bank into a quaternion or an axis and angle, converting angle triples
 * between rotation orders in degrees, and the heading and pitch of a
 * direction.
 *
 *   void vec3f_rotate_axis_angle_deg(float angle, const vec3f *axis, vec3f *point);
 *   void vec3f_rotate_hpb(const vec3d *hpb, vec3f *point);
 *   void vec3f_rotate_by_hpb(const vec3d *hpb, vec3f *point);
 *   void vec3f_unrotate_hpb(const vec3d *hpb, vec3f *point);
 *   void hpb_to_quatf(const vec3d *hpb, quatf *q);
 *   void hpb_to_axis_angle(const vec3d *hpb, float *angle, vec3f *axis);
 *   void hpb_deg_to_xyz_deg(const vec3d *hpb, vec3d *out);
 *   void hpb_deg_to_zxy_deg(const vec3d *hpb, vec3d *out);
 *   void zxy_deg_to_hpb_deg(const vec3d *angles, vec3d *out);
 *   void axis_angle_deg_to_xyz_deg(float angle, const vec3f *axis, vec3d *out);
 *   void vec3f_to_heading_pitch(const vec3f *v, double out[2]);
 *
 * Heading, pitch and bank (h, p, b) are the angles of Euler order 17 (Y, X,
 * Z about rotating axes): M_hpb = R_Y(h) * R_X(p) * R_Z(b) for column
 * vectors. Y is up and +Z forward: M_hpb takes (0, 0, 1) to
 * (cos p sin h, -sin p, cos p cos h), so a positive heading turns +Z toward
 * +X and a positive pitch tilts it toward -Y.
 *
 * Angles are radians unless the name says deg. The order codes used (0, 13,
 * 16, 17) are built from the axis variables at each call, and the working
 * records are addressed through them. vec3f and vec3d arguments are plain
 * (x, y, z) records. Single-precision arithmetic throughout, one operation
 * at a time; the library functions run in double on widened arguments and
 * are rounded to float, except where a function says it stays in double.
 * Nothing allocates, keeps state or reports an error; no pointer may be
 * null. Inputs are never modified except the point, which is read and then
 * overwritten with the result.
 */
#ifndef KALU7_MATH_ROTATION_H
#define KALU7_MATH_ROTATION_H

#include "math/types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Rotates the point by angle degrees about axis, right-handed. The axis is
 * not normalised: a longer axis keeps its direction but turns the point by
 * 2*atan2(|axis|*sin(t), cos(t)) with t the half angle; the zero axis
 * leaves the point unchanged.
 * @param[in]     angle  degrees
 * @param[in]     axis   rotation axis
 * @param[in,out] point  rotated in place */
void vec3f_rotate_axis_angle_deg(float angle, const vec3f *axis, vec3f *point);

/* point = M_hpb * point.
 * @param[in]     hpb    heading, pitch, bank in radians
 * @param[in,out] point  rotated in place */
void vec3f_rotate_hpb(const vec3d *hpb, vec3f *point);

/* The same operation as vec3f_rotate_hpb, under its second name. */
void vec3f_rotate_by_hpb(const vec3d *hpb, vec3f *point);

/* point = transpose(M_hpb) * point, the inverse rotation: it undoes
 * vec3f_rotate_hpb with the same angles, within rounding.
 * @param[in]     hpb    heading, pitch, bank in radians
 * @param[in,out] point  rotated in place */
void vec3f_unrotate_hpb(const vec3d *hpb, vec3f *point);

/* The quaternion of M_hpb.
 * @param[in]  hpb  heading, pitch, bank in radians
 * @param[out] q    all four components written */
void hpb_to_quatf(const vec3d *hpb, quatf *q);

/* The rotation angle, in radians, and the unit axis of M_hpb. No rotation
 * gives the angle 0 and the axis (0, 0, 0). The cosine of the half angle is
 * clamped to [-1, 1] before its arc cosine.
 * @param[in]  hpb    heading, pitch, bank in radians
 * @param[out] angle  radians, in [0, 2*pi]
 * @param[out] axis   always written */
void hpb_to_axis_angle(const vec3d *hpb, float *angle, vec3f *axis);

/* The order-0 angles (X, Y, Z about static axes) of M_hpb, negated; read as
 * order 21 (X, Y, Z rotating) they describe the inverse rotation. Degrees
 * in and out; signs of zero follow the arithmetic ((30, 0, 0) gives
 * (-0, -30.0000008, -0)).
 * @param[in]  hpb  heading, pitch, bank in degrees
 * @param[out] out  degrees; may be the same record as hpb */
void hpb_deg_to_xyz_deg(const vec3d *hpb, vec3d *out);

/* The order-16 angles (Z, X, Y about static axes) of M_hpb, negated: for
 * headings and banks in (-180, 180) and pitches in (-90, 90) this is
 * (-b, -p, -h). Degrees in and out.
 * @param[in]  hpb  heading, pitch, bank in degrees
 * @param[out] out  degrees; may be the same record as hpb */
void hpb_deg_to_zxy_deg(const vec3d *hpb, vec3d *out);

/* The order-17 angles of an order-13 rotation (Z, X, Y rotating), negated;
 * read as order 12 (Y, X, Z static) they describe the inverse of the input
 * rotation. Degrees in and out.
 * @param[in]  angles  order-13 angles in degrees
 * @param[out] out     degrees; may be the same record as angles */
void zxy_deg_to_hpb_deg(const vec3d *angles, vec3d *out);

/* The order-0 angles of the rotation by angle degrees about axis, negated;
 * read as order 21 they describe the rotation by -angle about the axis.
 * The zero axis gives angles of 0.
 * @param[in]  angle  degrees
 * @param[in]  axis   rotation axis
 * @param[out] out    degrees */
void axis_angle_deg_to_xyz_deg(float angle, const vec3f *axis, vec3d *out);

/* Heading and pitch, in radians, that turn the forward direction (0, 0, 1)
 * onto the direction of v. The heading lies in (-3pi/2, pi/2] (for vz < 0
 * it is atan(vx/vz) - pi), the pitch in [-pi/2, pi/2], positive toward -Y.
 * The zero vector gives (0, 0). Values that are not numbers pass through: a
 * NaN vz always gives a NaN heading and a NaN vy a NaN pitch. Heading and
 * pitch are kept in double.
 * @param[in]  v    direction, read at positions AXIS_X, AXIS_Y, AXIS_Z
 * @param[out] out  out[0] = heading, out[1] = pitch */
void vec3f_to_heading_pitch(const vec3f *v, double out[2]);

#ifdef __cplusplus
}
#endif

#endif

#include "math/rotation.h"

#include "math/fp_check.h"

#include <cmath>

#include "math/euler.h"
#include "math/matrix.h"

namespace {

constexpr double DEG_TO_RAD = 0.017453292519943295;
constexpr double RAD_TO_DEG = 57.29577951308232;
constexpr double PI = 3.141592653589793;
constexpr double HALF_PI = 1.5707963267948966;

// The order codes, built from the axis variables at each call.
inline int order_xyz_static() { return AXIS_X * 8; }       // 0
inline int order_zxy_rotating() { return AXIS_Y * 8 + 5; }  // 13
inline int order_zxy_static() { return AXIS_Z * 8; }       // 16
inline int order_hpb() { return AXIS_Z * 8 + 1; }          // 17: Y, X, Z rotating

// An angle record from three angles in radians (each rounded to float).
euler_angles record_from_rad(const vec3d *a, int order) {
  euler_angles e;
  e.v[AXIS_X] = static_cast<float>(a->v[0]);
  e.v[AXIS_Y] = static_cast<float>(a->v[1]);
  e.v[AXIS_Z] = static_cast<float>(a->v[2]);
  e.v[AXIS_W] = static_cast<float>(order);
  return e;
}

// An angle record from three angles in degrees: converted in double, then
// rounded to float.
euler_angles record_from_deg(const vec3d *a, int order) {
  euler_angles e;
  e.v[AXIS_X] = static_cast<float>(a->v[0] * DEG_TO_RAD);
  e.v[AXIS_Y] = static_cast<float>(a->v[1] * DEG_TO_RAD);
  e.v[AXIS_Z] = static_cast<float>(a->v[2] * DEG_TO_RAD);
  e.v[AXIS_W] = static_cast<float>(order);
  return e;
}

// The half-angle quaternion of an angle in degrees about an axis that is
// not normalised. The half angle is formed in double.
quatf half_angle_quat(float angle_deg, const vec3f *axis) {
  const double t = static_cast<double>(angle_deg) * DEG_TO_RAD / 2.0;
  const float sh = static_cast<float>(std::sin(t));
  const float ch = static_cast<float>(std::cos(t));
  quatf q;
  q.v[AXIS_X] = axis->v[0] * sh;
  q.v[AXIS_Y] = axis->v[1] * sh;
  q.v[AXIS_Z] = axis->v[2] * sh;
  q.v[AXIS_W] = ch;
  return q;
}

// point = M * point, through the column-vector product. The w of 0 meets
// the zero column W of the rotation rows, so it adds nothing.
void apply(const mat4f *m, vec3f *point) {
  vec4f v, r;
  v.v[AXIS_X] = point->v[0];
  v.v[AXIS_Y] = point->v[1];
  v.v[AXIS_Z] = point->v[2];
  v.v[AXIS_W] = 0.0f;
  mat4f_mul_vec4f(m, &v, &r);
  point->v[0] = r.v[AXIS_X];
  point->v[1] = r.v[AXIS_Y];
  point->v[2] = r.v[AXIS_Z];
}

// Angles of a record in degrees, negated: the negation on the float, the
// conversion in double.
void negated_degrees(const euler_angles *e, vec3d *out) {
  out->v[0] = static_cast<double>(-e->v[AXIS_X]) * RAD_TO_DEG;
  out->v[1] = static_cast<double>(-e->v[AXIS_Y]) * RAD_TO_DEG;
  out->v[2] = static_cast<double>(-e->v[AXIS_Z]) * RAD_TO_DEG;
}

}  // namespace

extern "C" {

void vec3f_rotate_axis_angle_deg(float angle, const vec3f *axis, vec3f *point) {
  const quatf q = half_angle_quat(angle, axis);
  euler_angles e;
  quatf_to_euler(&q, order_xyz_static(), &e);
  mat4f m;
  euler_to_mat4f(&e, &m);
  apply(&m, point);
}

void vec3f_rotate_hpb(const vec3d *hpb, vec3f *point) {
  const euler_angles e = record_from_rad(hpb, order_hpb());
  mat4f m;
  euler_to_mat4f(&e, &m);
  apply(&m, point);
}

void vec3f_rotate_by_hpb(const vec3d *hpb, vec3f *point) { vec3f_rotate_hpb(hpb, point); }

void vec3f_unrotate_hpb(const vec3d *hpb, vec3f *point) {
  const euler_angles e = record_from_rad(hpb, order_hpb());
  quatf q;
  euler_to_quatf(&e, &q);
  // The conjugate of a unit quaternion is the inverse rotation.
  q.v[AXIS_X] = -q.v[AXIS_X];
  q.v[AXIS_Y] = -q.v[AXIS_Y];
  q.v[AXIS_Z] = -q.v[AXIS_Z];
  euler_angles inv;
  quatf_to_euler(&q, order_xyz_static(), &inv);
  mat4f m;
  euler_to_mat4f(&inv, &m);
  apply(&m, point);
}

void hpb_to_quatf(const vec3d *hpb, quatf *q) {
  const euler_angles e = record_from_rad(hpb, order_hpb());
  euler_to_quatf(&e, q);
}

void hpb_to_axis_angle(const vec3d *hpb, float *angle, vec3f *axis) {
  const euler_angles e = record_from_rad(hpb, order_hpb());
  quatf q;
  euler_to_quatf(&e, &q);
  // Held to [-1, 1] before the arc cosine so that rounding past 1 cannot
  // turn a valid rotation into a NaN angle; a NaN stays a NaN.
  double c = static_cast<double>(q.v[AXIS_W]);
  if (c > 1.0) c = 1.0;
  if (c < -1.0) c = -1.0;
  const float h = static_cast<float>(std::acos(c));
  const float sh = static_cast<float>(std::sin(static_cast<double>(h)));
  if (sh != 0.0f) {  // a NaN counts as not 0
    axis->v[0] = q.v[AXIS_X] / sh;
    axis->v[1] = q.v[AXIS_Y] / sh;
    axis->v[2] = q.v[AXIS_Z] / sh;
  } else {
    axis->v[0] = 0.0f;
    axis->v[1] = 0.0f;
    axis->v[2] = 0.0f;
  }
  *angle = 2.0f * h;
}

void hpb_deg_to_xyz_deg(const vec3d *hpb, vec3d *out) {
  const euler_angles e = record_from_deg(hpb, order_hpb());
  mat4f m;
  euler_to_mat4f(&e, &m);
  euler_angles r;
  mat4f_to_euler(&m, order_xyz_static(), &r);
  negated_degrees(&r, out);
}

void hpb_deg_to_zxy_deg(const vec3d *hpb, vec3d *out) {
  const euler_angles e = record_from_deg(hpb, order_hpb());
  mat4f m;
  euler_to_mat4f(&e, &m);
  euler_angles r;
  mat4f_to_euler(&m, order_zxy_static(), &r);
  negated_degrees(&r, out);
}

void zxy_deg_to_hpb_deg(const vec3d *angles, vec3d *out) {
  const euler_angles e = record_from_deg(angles, order_zxy_rotating());
  mat4f m;
  euler_to_mat4f(&e, &m);
  euler_angles r;
  mat4f_to_euler(&m, order_hpb(), &r);
  negated_degrees(&r, out);
}

void axis_angle_deg_to_xyz_deg(float angle, const vec3f *axis, vec3d *out) {
  const quatf q = half_angle_quat(angle, axis);
  euler_angles e;
  quatf_to_euler(&q, order_xyz_static(), &e);
  negated_degrees(&e, out);
}

void vec3f_to_heading_pitch(const vec3f *v, double out[2]) {
  const float vx = v->v[AXIS_X], vy = v->v[AXIS_Y], vz = v->v[AXIS_Z];

  // A NaN vz matches none of the rules below; it then passes through as
  // the heading rather than leaving it unset.
  double heading = static_cast<double>(vz);
  float r;
  if (vx == 0.0f && vz == 0.0f) {
    heading = 0.0;
    r = 0.0f;
  } else {
    if (vz == 0.0f) {
      heading = (vx < 0.0f) ? -HALF_PI : HALF_PI;
    } else if (vz < 0.0f) {
      heading = std::atan(static_cast<double>(vx / vz)) - PI;
    } else if (vz > 0.0f) {
      heading = std::atan(static_cast<double>(vx / vz));
    }
    r = static_cast<float>(std::sqrt(static_cast<double>(vx * vx + vz * vz)));
  }

  // Likewise a NaN vy over r = 0 passes through as the pitch.
  double pitch = static_cast<double>(vy);
  if (r != 0.0f) {
    pitch = -std::atan(static_cast<double>(vy / r));
  } else if (vy == 0.0f) {
    pitch = 0.0;
  } else if (vy < 0.0f) {
    pitch = HALF_PI;
  } else if (vy > 0.0f) {
    pitch = -HALF_PI;
  }

  out[0] = heading;
  out[1] = pitch;
}

}  // extern "C"

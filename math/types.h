/* Shared records of the geometry library.
 *
 * Every record is a plain aggregate holding one array, so a component can be
 * addressed by a run-time index (the axis variables below) without pointer
 * arithmetic across separate members. Indices 0..3 are x, y, z, w.
 *
 * Matrices are stored row by row: element (row i, column j) is m[3*i + j] of a
 * 3x3 matrix and m[4*i + j] of a 4x4 matrix.
 *
 * The header is plain C so the records can cross a C boundary unchanged.
 */
#ifndef KALU7_MATH_TYPES_H
#define KALU7_MATH_TYPES_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec3f { float v[3]; } vec3f;   /* x, y, z */
typedef struct vec3d { double v[3]; } vec3d;  /* x, y, z */
typedef struct vec4f { float v[4]; } vec4f;   /* x, y, z, w */

/* A quaternion (x, y, z, w); w is the scalar part. The rotation by angle t
 * about the unit axis u is (u*sin(t/2), cos(t/2)). */
typedef struct quatf { float v[4]; } quatf;
typedef struct quatd { double v[4]; } quatd;

typedef struct mat3f { float m[9]; } mat3f;
typedef struct mat4f { float m[16]; } mat4f;
typedef struct mat3d { double m[9]; } mat3d;
typedef struct mat4d { double m[16]; } mat4d;

/* Three angles in radians at positions 0..2 and, at position 3, an Euler
 * order code stored as a float with an integral value (17.0 for order 17). */
typedef struct euler_angles { float v[4]; } euler_angles;

/* Positions of the x, y, z and w components, used by the Euler-angle and
 * rotation code to address every record above. They are writable variables
 * with static storage, initialised to 0, 1, 2 and 3; the library never
 * changes them, and a caller that does gets whatever indexing it asked for
 * (they must stay within 0..3). */
extern int AXIS_X;
extern int AXIS_Y;
extern int AXIS_Z;
extern int AXIS_W;

#ifdef __cplusplus
}
#endif

#endif

/* The installed headers are plain C: every one of them compiles here. */
#include "math/channel.h"
#include "math/inverse.h"
#include "math/matrix.h"
#include "math/types.h"

int consumer_c_determinant_is_one(void);

int consumer_c_determinant_is_one(void) {
  mat4f m;
  mat4f_set(&m, 2, 3, 1, 5, 1, 0, 3, 1, 0, 2, -3, 2, 0, 2, 3, 1);
  return mat4f_determinant(&m) == 1.0f;
}

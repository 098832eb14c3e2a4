// Links against the installed library and checks a few results, so a broken
// install (missing symbols, headers or include path) fails here.
#include <cstdio>

#include "math/channel.h"
#include "math/inverse.h"
#include "math/matrix.h"

extern "C" int consumer_c_determinant_is_one(void);

int main() {
  int failures = 0;
  if (!consumer_c_determinant_is_one()) {
    std::puts("4x4 determinant from C is not 1");
    ++failures;
  }

  mat3f m, inv, product, id;
  mat3f_set(&m, 2, 0, 0, 0, 4, 0, 0, 0, 8);
  mat3f_invert(&m, &inv);
  mat3f_mul(&m, &inv, &product);
  mat3f_identity(&id);
  if (!mat3f_approx_equal(&product, &id)) {
    std::puts("m * inverse(m) is not the identity");
    ++failures;
  }

  const mat4f t = {{1, 0, 0, 3, 0, 1, 0, 4, 0, 0, 1, 5, 0, 0, 0, 1}};
  const vec4f v = {{1, 1, 1, 1}};
  vec4f out;
  mat4f_mul_vec4f(&t, &v, &out);
  if (out.v[0] != 4 || out.v[1] != 5 || out.v[2] != 6 || out.v[3] != 1) {
    std::puts("mat4f_mul_vec4f gave a wrong result");
    ++failures;
  }

  if (channel_to_u8(0.5f) != 128 || u8_to_channel(255) != 1.0f) {
    std::puts("channel conversions gave a wrong result");
    ++failures;
  }
  if (AXIS_Z != 2) {
    std::puts("AXIS_Z is not 2");
    ++failures;
  }
  std::printf("%s\n", failures ? "FAILED" : "installed library OK");
  return failures ? 1 : 0;
}

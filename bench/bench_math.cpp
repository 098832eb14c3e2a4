// The geometry library against the closest GLM operation, per call over
// arrays of inputs, both compiled with the same flags (contraction off).
//
// Each pair also reports how far the two results agree, measured once over
// the same inputs outside the timed loop: `agree_pct`, the share of output
// values that are bit for bit the same, and `max_ulp`, the largest distance
// in units in the last place. The library stores matrices row by row and GLM
// column by column, so the same bytes are one matrix to us and its transpose
// to GLM; each pair below is set up so that both compute the same matrix.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#define GLM_ENABLE_EXPERIMENTAL
#include <glm/glm.hpp>
#include <glm/gtc/packing.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/gtx/euler_angles.hpp>

#include "math/channel.h"
#include "math/euler.h"
#include "math/inverse.h"
#include "math/matrix.h"
#include "math/quaternion.h"
#include "math/rotation.h"

namespace {

constexpr size_t kCount = 1024;  // inputs per array, small enough to stay in L1/L2

// ---- inputs -----------------------------------------------------------------

std::mt19937 &rng() {
  static std::mt19937 r(20240607u);
  return r;
}
float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng()); }

template <typename M, typename T, int N>
M random_matrix() {
  M m;
  // Entries in [-1, 1] with a heavier diagonal: well conditioned, so no
  // inverse is refused and the comparison sees real results.
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) m.m[N * i + j] = static_cast<T>(uniform(-1, 1)) + (i == j ? T(3) : T(0));
  }
  return m;
}

quatf random_unit_quat() {
  quatf q;
  for (float &c : q.v) c = uniform(-1, 1);
  quatf n;
  quatf_normalize(&q, &n);
  return n;
}

struct Inputs {
  std::vector<mat4f> m4f_a, m4f_b;
  std::vector<mat4d> m4d_a, m4d_b;
  std::vector<mat3f> m3f;
  std::vector<quatf> qa, qb;
  std::vector<mat3f> rot3;  // rotation matrices, for mat3f_to_quatf
  std::vector<euler_angles> euler0;
  std::vector<mat4f> rot4;  // rotation matrices, for mat4f_to_euler
  std::vector<vec3d> hpb;
  std::vector<vec3f> points;
  std::vector<float> channels;
  std::vector<uint8_t> codes;
};

const Inputs &inputs() {
  static const Inputs in = [] {
    Inputs r;
    for (size_t i = 0; i < kCount; ++i) {
      r.m4f_a.push_back(random_matrix<mat4f, float, 4>());
      r.m4f_b.push_back(random_matrix<mat4f, float, 4>());
      r.m4d_a.push_back(random_matrix<mat4d, double, 4>());
      r.m4d_b.push_back(random_matrix<mat4d, double, 4>());
      r.m3f.push_back(random_matrix<mat3f, float, 3>());
      r.qa.push_back(random_unit_quat());
      r.qb.push_back(random_unit_quat());
      mat3f m3;
      quatf_to_mat3f(&r.qa.back(), &m3);
      r.rot3.push_back(m3);
      r.euler0.push_back(euler_angles_make(uniform(-3.1f, 3.1f), uniform(-1.5f, 1.5f), uniform(-3.1f, 3.1f), 0));
      mat4f m4;
      euler_to_mat4f(&r.euler0.back(), &m4);
      r.rot4.push_back(m4);
      r.hpb.push_back(vec3d{{uniform(-3.1f, 3.1f), uniform(-1.5f, 1.5f), uniform(-3.1f, 3.1f)}});
      r.points.push_back(vec3f{{uniform(-10, 10), uniform(-10, 10), uniform(-10, 10)}});
      r.channels.push_back(uniform(-0.1f, 1.1f));
      r.codes.push_back(static_cast<uint8_t>(i & 0xFF));
    }
    // Inputs next to every tie of the 8-bit rounding, where the two
    // conversions would be the first to part.
    for (int c = 0; c < 255 && c < static_cast<int>(kCount); ++c) r.channels[static_cast<size_t>(c)] = (c + 0.5f) / 255.0f;
    return r;
  }();
  return in;
}

// GLM views of the same bytes.
glm::mat4 glm_of(const mat4f &m) { return glm::make_mat4(m.m); }
glm::dmat4 glm_of(const mat4d &m) { return glm::make_mat4(m.m); }
glm::mat3 glm_of(const mat3f &m) { return glm::make_mat3(m.m); }
glm::quat glm_of(const quatf &q) { return glm::quat(q.v[3], q.v[0], q.v[1], q.v[2]); }  // (w, x, y, z)

// ---- agreement ----------------------------------------------------------------

// Distance in units in the last place, through the ordered integer image of
// the bit patterns (so -0 and +0 are one apart: their bits differ).
template <typename T>
double ulp_distance(T a, T b) {
  using I = std::conditional_t<sizeof(T) == 4, int32_t, int64_t>;
  I ia, ib;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : HUGE_VAL;
  const I sign = std::numeric_limits<I>::min();
  const double oa = ia < 0 ? -static_cast<double>(ia & ~sign) - 1 : static_cast<double>(ia);
  const double ob = ib < 0 ? -static_cast<double>(ib & ~sign) - 1 : static_cast<double>(ib);
  return std::fabs(oa - ob);
}

struct Agreement {
  size_t values = 0;
  size_t same = 0;
  double max_ulp = 0;
  double max_abs = 0;

  template <typename T>
  void add(T ours, T theirs) {
    ++values;
    if (std::memcmp(&ours, &theirs, sizeof ours) == 0) ++same;
    const double u = ulp_distance(ours, theirs);
    if (u > max_ulp) max_ulp = u;
    const double d = std::fabs(static_cast<double>(ours) - static_cast<double>(theirs));
    if (d > max_abs) max_abs = d;
  }
  void add_code(uint32_t ours, uint32_t theirs) {
    ++values;
    if (ours == theirs) ++same;
    const double d = std::fabs(static_cast<double>(ours) - static_cast<double>(theirs));
    if (d > max_ulp) max_ulp = d;
    if (d > max_abs) max_abs = d;
  }
  void report(benchmark::State &state) const {
    state.counters["agree_pct"] = values ? 100.0 * static_cast<double>(same) / static_cast<double>(values) : 0;
    state.counters["max_ulp"] = max_ulp;
    state.counters["max_abs"] = max_abs;
  }
};

// ---- timing -------------------------------------------------------------------

// Runs body(i) for every input index per iteration and reports per-call
// figures (items are calls). Kept out of line so that scripts/bench.sh can
// count the instructions of the timed loop alone with callgrind.
template <typename Body>
__attribute__((noinline)) void time_calls(benchmark::State &state, Body body) {
  for (auto _ : state) {
    for (size_t i = 0; i < kCount; ++i) body(i);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kCount));
}

template <typename T>
std::vector<T> &scratch() {
  static std::vector<T> v(kCount);
  return v;
}

// ---- the pairs -----------------------------------------------------------------

// mat4f_mul: out = a*b row by row is, read column by column, B'*A'. GLM sums
// the same four products in the same order, so the bits agree except where
// the library's accumulation from +0 turns a -0 sum into +0.
void mat4f_mul_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<mat4f>();
  time_calls(state, [&](size_t i) { mat4f_mul(&in.m4f_a[i], &in.m4f_b[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void mat4f_mul_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::mat4> a, b;
  for (size_t i = 0; i < kCount; ++i) {
    a.push_back(glm_of(in.m4f_a[i]));
    b.push_back(glm_of(in.m4f_b[i]));
  }
  auto &out = scratch<glm::mat4>();
  time_calls(state, [&](size_t i) { out[i] = b[i] * a[i]; });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    mat4f ours;
    mat4f_mul(&in.m4f_a[i], &in.m4f_b[i], &ours);
    for (int k = 0; k < 16; ++k) ag.add(ours.m[k], glm::value_ptr(out[i])[k]);
  }
  ag.report(state);
}

void mat4d_mul_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<mat4d>();
  time_calls(state, [&](size_t i) { mat4d_mul(&in.m4d_a[i], &in.m4d_b[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void mat4d_mul_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::dmat4> a, b;
  for (size_t i = 0; i < kCount; ++i) {
    a.push_back(glm_of(in.m4d_a[i]));
    b.push_back(glm_of(in.m4d_b[i]));
  }
  auto &out = scratch<glm::dmat4>();
  time_calls(state, [&](size_t i) { out[i] = b[i] * a[i]; });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    mat4d ours;
    mat4d_mul(&in.m4d_a[i], &in.m4d_b[i], &ours);
    for (int k = 0; k < 16; ++k) ag.add(ours.m[k], glm::value_ptr(out[i])[k]);
  }
  ag.report(state);
}

// The inverse of the transpose is the transpose of the inverse, so the
// bytes match again. GLM groups its cofactor sums differently and
// multiplies by a reciprocal taken from a dot product, so the last bits
// differ; it also has no refusal threshold.
template <typename M, typename G, typename Invert>
void invert_ours(benchmark::State &state, const std::vector<M> &src, Invert invert) {
  auto &out = scratch<M>();
  time_calls(state, [&](size_t i) { invert(&src[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
template <typename M, typename G, typename Invert>
void invert_glm(benchmark::State &state, const std::vector<M> &src, Invert invert) {
  std::vector<G> g;
  for (const M &m : src) g.push_back(glm_of(m));
  auto &out = scratch<G>();
  time_calls(state, [&](size_t i) { out[i] = glm::inverse(g[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    M ours;
    invert(&src[i], &ours);
    for (int k = 0; k < 16; ++k) ag.add(ours.m[k], glm::value_ptr(out[i])[k]);
  }
  ag.report(state);
}
void mat4f_invert_ours(benchmark::State &s) { invert_ours<mat4f, glm::mat4>(s, inputs().m4f_a, mat4f_invert); }
void mat4f_invert_glm(benchmark::State &s) { invert_glm<mat4f, glm::mat4>(s, inputs().m4f_a, mat4f_invert); }
void mat4d_invert_ours(benchmark::State &s) { invert_ours<mat4d, glm::dmat4>(s, inputs().m4d_a, mat4d_invert); }
void mat4d_invert_glm(benchmark::State &s) { invert_glm<mat4d, glm::dmat4>(s, inputs().m4d_a, mat4d_invert); }

// The library expands along the first row, GLM (on the transposed bytes)
// along the first column: the same value in exact arithmetic, rounded
// differently.
void mat3f_determinant_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<float>();
  time_calls(state, [&](size_t i) { out[i] = mat3f_determinant(&in.m3f[i]); });
  benchmark::DoNotOptimize(out.data());
}
void mat3f_determinant_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::mat3> g;
  for (const mat3f &m : in.m3f) g.push_back(glm_of(m));
  auto &out = scratch<float>();
  time_calls(state, [&](size_t i) { out[i] = glm::determinant(g[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) ag.add(mat3f_determinant(&in.m3f[i]), out[i]);
  ag.report(state);
}

// The same Hamilton product, term for term: the bits agree.
void quatf_mul_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<quatf>();
  time_calls(state, [&](size_t i) { quatf_mul(&in.qa[i], &in.qb[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void quatf_mul_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::quat> a, b;
  for (size_t i = 0; i < kCount; ++i) {
    a.push_back(glm_of(in.qa[i]));
    b.push_back(glm_of(in.qb[i]));
  }
  auto &out = scratch<glm::quat>();
  time_calls(state, [&](size_t i) { out[i] = a[i] * b[i]; });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    quatf ours;
    quatf_mul(&in.qa[i], &in.qb[i], &ours);
    ag.add(ours.v[0], out[i].x);
    ag.add(ours.v[1], out[i].y);
    ag.add(ours.v[2], out[i].z);
    ag.add(ours.v[3], out[i].w);
  }
  ag.report(state);
}

// The library scales by 2/|q|^2 (any non-zero multiple gives the same
// matrix), GLM takes q as unit length and doubles the products: the same
// matrix for a unit q, rounded differently.
void quatf_to_mat3f_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<mat3f>();
  time_calls(state, [&](size_t i) { quatf_to_mat3f(&in.qa[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void quatf_to_mat3f_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::quat> q;
  for (const quatf &x : in.qa) q.push_back(glm_of(x));
  auto &out = scratch<glm::mat3>();
  time_calls(state, [&](size_t i) { out[i] = glm::mat3_cast(q[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    mat3f ours;
    quatf_to_mat3f(&in.qa[i], &ours);
    // GLM's column c, row r is our row r, column c.
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) ag.add(ours.m[3 * r + c], out[i][c][r]);
    }
  }
  ag.report(state);
}

// Both take the root from the trace or the largest diagonal element, but
// GLM picks the branch by the largest of four and divides where the library
// multiplies by a reciprocal; the sign of the result may differ (q and -q
// are one rotation), so signs are aligned on w before comparing.
void mat3f_to_quatf_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<quatf>();
  time_calls(state, [&](size_t i) { mat3f_to_quatf(&in.rot3[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void mat3f_to_quatf_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::mat3> g;
  for (const mat3f &m : in.rot3) g.push_back(glm::transpose(glm_of(m)));  // column c of GLM = our column c
  auto &out = scratch<glm::quat>();
  time_calls(state, [&](size_t i) { out[i] = glm::quat_cast(g[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    quatf ours;
    mat3f_to_quatf(&in.rot3[i], &ours);
    glm::quat t = out[i];
    if ((t.w < 0) != (ours.v[3] < 0)) t = -t;
    ag.add(ours.v[0], t.x);
    ag.add(ours.v[1], t.y);
    ag.add(ours.v[2], t.z);
    ag.add(ours.v[3], t.w);
  }
  ag.report(state);
}

// Order 0 (X, Y, Z about static axes) is M = Rz(z) * Ry(y) * Rx(x), GLM's
// eulerAngleZYX(z, y, x). GLM takes sines and cosines in float, the library
// in double rounded to float, and the products are grouped differently.
void euler_to_mat4f_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<mat4f>();
  time_calls(state, [&](size_t i) { euler_to_mat4f(&in.euler0[i], &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void euler_to_mat4f_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<glm::mat4>();
  time_calls(state, [&](size_t i) {
    const float *a = in.euler0[i].v;
    out[i] = glm::eulerAngleZYX(a[2], a[1], a[0]);
  });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    mat4f ours;
    euler_to_mat4f(&in.euler0[i], &ours);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) ag.add(ours.m[4 * r + c], out[i][c][r]);
    }
  }
  ag.report(state);
}

// The way back, order 0 against extractEulerAngleZYX.
void mat4f_to_euler_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<euler_angles>();
  time_calls(state, [&](size_t i) { mat4f_to_euler(&in.rot4[i], 0, &out[i]); });
  benchmark::DoNotOptimize(out.data());
}
void mat4f_to_euler_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  std::vector<glm::mat4> g;
  for (const mat4f &m : in.rot4) g.push_back(glm::transpose(glm_of(m)));
  auto &out = scratch<glm::vec3>();
  time_calls(state, [&](size_t i) { glm::extractEulerAngleZYX(g[i], out[i].z, out[i].y, out[i].x); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    euler_angles ours;
    mat4f_to_euler(&in.rot4[i], 0, &ours);
    for (int k = 0; k < 3; ++k) ag.add(ours.v[k], out[i][k]);
  }
  ag.report(state);
}

// Heading, pitch and bank are order 17, Ry(h) * Rx(p) * Rz(b): GLM's
// yawPitchRoll, applied to the point. The library takes the angles in
// double; GLM is given them rounded to float.
void vec3f_rotate_hpb_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<vec3f>();
  time_calls(state, [&](size_t i) {
    out[i] = in.points[i];
    vec3f_rotate_hpb(&in.hpb[i], &out[i]);
  });
  benchmark::DoNotOptimize(out.data());
}
void vec3f_rotate_hpb_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<glm::vec3>();
  time_calls(state, [&](size_t i) {
    const double *a = in.hpb[i].v;
    const glm::mat4 m = glm::yawPitchRoll(static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2]));
    const float *p = in.points[i].v;
    out[i] = glm::vec3(m * glm::vec4(p[0], p[1], p[2], 0.0f));
  });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) {
    vec3f ours = in.points[i];
    vec3f_rotate_hpb(&in.hpb[i], &ours);
    for (int k = 0; k < 3; ++k) ag.add(ours.v[k], out[i][k]);
  }
  ag.report(state);
}

// packUnorm1x8 clamps and rounds half away from zero; the library rounds
// p + 0.5 down, so the two can part only where p + 0.5 itself rounds.
void channel_to_u8_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<uint32_t>();
  time_calls(state, [&](size_t i) { out[i] = channel_to_u8(in.channels[i]); });
  benchmark::DoNotOptimize(out.data());
}
void channel_to_u8_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<uint32_t>();
  time_calls(state, [&](size_t i) { out[i] = glm::packUnorm1x8(in.channels[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) ag.add_code(channel_to_u8(in.channels[i]), out[i]);
  ag.report(state);
}

// unpackUnorm1x8 multiplies by a rounded 1/255, the library divides by 255.
void u8_to_channel_ours(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<float>();
  time_calls(state, [&](size_t i) { out[i] = u8_to_channel(in.codes[i]); });
  benchmark::DoNotOptimize(out.data());
}
void u8_to_channel_glm(benchmark::State &state) {
  const Inputs &in = inputs();
  auto &out = scratch<float>();
  time_calls(state, [&](size_t i) { out[i] = glm::unpackUnorm1x8(in.codes[i]); });
  benchmark::DoNotOptimize(out.data());
  Agreement ag;
  for (size_t i = 0; i < kCount; ++i) ag.add(u8_to_channel(in.codes[i]), out[i]);
  ag.report(state);
}

#define KALU7_PAIR(op)                       \
  BENCHMARK(op##_ours)->Name("math/" #op "/kalu7"); \
  BENCHMARK(op##_glm)->Name("math/" #op "/glm")

KALU7_PAIR(mat4f_mul);
KALU7_PAIR(mat4d_mul);
KALU7_PAIR(mat4f_invert);
KALU7_PAIR(mat4d_invert);
KALU7_PAIR(mat3f_determinant);
KALU7_PAIR(quatf_mul);
KALU7_PAIR(quatf_to_mat3f);
KALU7_PAIR(mat3f_to_quatf);
KALU7_PAIR(euler_to_mat4f);
KALU7_PAIR(mat4f_to_euler);
KALU7_PAIR(vec3f_rotate_hpb);
KALU7_PAIR(channel_to_u8);
KALU7_PAIR(u8_to_channel);

}  // namespace

BENCHMARK_MAIN();

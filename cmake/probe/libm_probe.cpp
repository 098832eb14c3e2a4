// Prints the bits of the C runtime's sin, cos, atan, atan2 and acos over a
// fixed set of inputs, in the three ways the geometry library uses them: in
// double precision (d=), a double result rounded to float (df=), and a float
// argument widened to double with the result rounded back to float (f=).
// Built natively and for Windows, the two listings show where the Windows
// build rounds differently from glibc.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint64_t bits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
uint32_t bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// A small fixed generator, so that both builds see the same inputs.
uint64_t state = 0x9e3779b97f4a7c15u;
double uniform(double lo, double hi) {
  state = state * 6364136223846793005u + 1442695040888963407u;
  const double t = static_cast<double>(state >> 11) * 0x1.0p-53;
  return lo + (hi - lo) * t;
}

// volatile keeps the compiler from folding a call at build time.
double call(double (*f)(double), double x) {
  volatile double in = x;
  return f(in);
}
double call2(double (*f)(double, double), double y, double x) {
  volatile double a = y, b = x;
  return f(a, b);
}

double f_sin(double x) { return std::sin(x); }
double f_cos(double x) { return std::cos(x); }
double f_atan(double x) { return std::atan(x); }
double f_acos(double x) { return std::acos(x); }
double f_atan2(double y, double x) { return std::atan2(y, x); }

void one(const char *name, double (*f)(double), double x) {
  const double d = call(f, x);
  const float xf = static_cast<float>(x);
  const float r = static_cast<float>(call(f, static_cast<double>(xf)));
  std::printf("%s %a d=%016" PRIx64 " df=%08" PRIx32 " f=%08" PRIx32 "\n", name, x, bits(d),
              bits(static_cast<float>(d)), bits(r));
}

void two(const char *name, double y, double x) {
  const double d = call2(f_atan2, y, x);
  const float yf = static_cast<float>(y), xf = static_cast<float>(x);
  const float r = static_cast<float>(call2(f_atan2, static_cast<double>(yf), static_cast<double>(xf)));
  std::printf("%s %a %a d=%016" PRIx64 " df=%08" PRIx32 " f=%08" PRIx32 "\n", name, y, x, bits(d),
              bits(static_cast<float>(d)), bits(r));
}

}  // namespace

int main() {
  const double pi = 3.14159265358979323846;
  std::vector<double> angles = {0.0, -0.0, pi / 6, pi / 4, pi / 3, pi / 2, pi, 1.5 * pi, 2 * pi, -pi / 2, 1e-8, 1e-300};
  for (int i = 0; i < 4000; ++i) angles.push_back(uniform(-4 * pi, 4 * pi));
  for (int i = 0; i < 500; ++i) angles.push_back(uniform(-1e6, 1e6));
  for (double x : angles) {
    one("sin", f_sin, x);
    one("cos", f_cos, x);
    one("atan", f_atan, x);
  }
  std::vector<double> unit = {-1.0, -0.5, 0.0, -0.0, 0.5, 1.0, 0x1.fffffffffffffp-1, -0x1.fffffffffffffp-1};
  for (int i = 0; i < 4000; ++i) unit.push_back(uniform(-1.0, 1.0));
  for (double x : unit) one("acos", f_acos, x);
  const double edge[] = {0.0, -0.0, 1.0, -1.0};
  for (double y : edge) {
    for (double x : edge) two("atan2", y, x);
  }
  for (int i = 0; i < 4000; ++i) two("atan2", uniform(-2.0, 2.0), uniform(-2.0, 2.0));
  return 0;
}

/* Internal to the library's sources: refuse to build where float expressions
 * may be evaluated in a wider format (x87 without SSE, for instance). The
 * library promises bit-exact single-precision results, and excess precision
 * would silently change them. */
#ifndef KALU7_MATH_FP_CHECK_H
#define KALU7_MATH_FP_CHECK_H

#include <cfloat>

#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "the geometry library needs FLT_EVAL_METHOD == 0 (each float operation rounded to float)"
#endif

#if defined(__FAST_MATH__)
#error "the geometry library must not be built with -ffast-math"
#endif

#endif

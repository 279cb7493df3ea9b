/* Raising the underflow exception for tiny results, as glibc does. */
#include <float.h>
#include <math.h>
#include "math-barriers.h"
#define math_check_force_underflow(x) do { if (__builtin_fabs (x) < DBL_MIN) { \
  __typeof (x) u_ = (x) * (x); math_force_eval (u_); } } while (0)
#define math_check_force_underflow_nonneg(x) do { if ((x) < DBL_MIN) { \
  __typeof (x) u_ = (x) * (x); math_force_eval (u_); } } while (0)

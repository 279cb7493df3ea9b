/* The word access macros of glibc's math_private.h. */
#ifndef GLIBC_SHIM_MATH_PRIVATE_H
#define GLIBC_SHIM_MATH_PRIVATE_H

#include "math-barriers.h"

typedef union {
  double value;
  struct { uint32_t lsw; uint32_t msw; } parts;
  uint64_t word;
} ieee_double_shape_type;

#define EXTRACT_WORDS(ix0, ix1, d) do { ieee_double_shape_type u_; u_.value = (d); \
  (ix0) = u_.parts.msw; (ix1) = u_.parts.lsw; } while (0)
#define EXTRACT_WORDS64(i, d) do { ieee_double_shape_type u_; u_.value = (d); (i) = u_.word; } while (0)
#define GET_HIGH_WORD(i, d) do { ieee_double_shape_type u_; u_.value = (d); (i) = u_.parts.msw; } while (0)
#define GET_LOW_WORD(i, d) do { ieee_double_shape_type u_; u_.value = (d); (i) = u_.parts.lsw; } while (0)
#define INSERT_WORDS(d, ix0, ix1) do { ieee_double_shape_type u_; u_.parts.msw = (ix0); \
  u_.parts.lsw = (ix1); (d) = u_.value; } while (0)
#define INSERT_WORDS64(d, i) do { ieee_double_shape_type u_; u_.word = (i); (d) = u_.value; } while (0)
#define SET_HIGH_WORD(d, v) do { ieee_double_shape_type u_; u_.value = (d); u_.parts.msw = (v); \
  (d) = u_.value; } while (0)
#define SET_LOW_WORD(d, v) do { ieee_double_shape_type u_; u_.value = (d); u_.parts.lsw = (v); \
  (d) = u_.value; } while (0)

typedef union { float value; uint32_t word; } ieee_float_shape_type;
#define GET_FLOAT_WORD(i, d) do { ieee_float_shape_type u_; u_.value = (d); (i) = u_.word; } while (0)
#define SET_FLOAT_WORD(d, i) do { ieee_float_shape_type u_; u_.word = (i); (d) = u_.value; } while (0)

double __log (double);

#endif

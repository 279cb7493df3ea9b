/* What glibc's own build gives the few math sources tools/build_windows.sh compiles alone, for
   mingw-w64: included before each of them. */
#ifndef GLIBC_SHIM_H
#define GLIBC_SHIM_H

#include <errno.h>
#include <stdint.h>

#define attribute_hidden
#define __glibc_likely(c) __builtin_expect ((c), 1)
#define __glibc_unlikely(c) __builtin_expect ((c), 0)
#define __always_inline __inline __attribute__ ((__always_inline__))
#define __set_errno(e) (errno = (e))

/* Symbols are renamed once compiled (__ieee754_acos to acos...): no aliases, no versions. */
#define hidden_def(name)
#define libm_hidden_proto(name)
#define strong_alias(name, aliasname)
#define versioned_symbol(lib, local, symbol, version)
#define libm_alias_finite(from, to)
#define libm_alias_double(from, to)
#define libm_alias_double_other(from, to)
#define libm_alias_float(from, to)
#define libm_alias_float_other(from, to)
#define __ieee754_log __log

/* The programs never change the rounding mode: it is always to nearest. */
#define SET_RESTORE_ROUND(r) do {} while (0)
#define SET_RESTORE_ROUND_53BIT(r) do {} while (0)

#endif

/* Nothing beyond glibc_shim.h. */

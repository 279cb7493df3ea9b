/* x86-64: little-endian words and doubles. */
#define __LITTLE_ENDIAN 1234
#define __BIG_ENDIAN 4321
#define __BYTE_ORDER __LITTLE_ENDIAN
#define __FLOAT_WORD_ORDER __BYTE_ORDER
#define LITTLE_ENDI 1
#define HIGH_HALF 1
#define LOW_HALF 0

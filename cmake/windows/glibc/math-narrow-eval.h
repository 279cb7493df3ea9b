/* SSE2 evaluates in the type's own precision. */
#define math_narrow_eval(x) (x)

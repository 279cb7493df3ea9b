/* glibc's generic barriers: the compiler may neither drop nor move these evaluations. */
#define math_opt_barrier(x) ({ __typeof (x) x_ = (x); __asm ("" : "+m" (x_)); x_; })
#define math_force_eval(x) ({ __typeof (x) x_ = (x); __asm __volatile__ ("" : : "m" (x_)); })

/* Compiled as strict C99 with -pedantic -Werror: the C header must stay plain C. */
#include "particleplayer.h"

int pp_header_check(pp_world** world);

/* Compiled as strict C99 with -pedantic -Werror: the C header must stay plain C. */
#include "particleplayer.h"

int pp_header_check(void);

int pp_header_check(void) {
    pp_world* world = 0;
    pp_status status = pp_world_create(&world, 0);
    pp_world_destroy(world);
    return (int)status;
}

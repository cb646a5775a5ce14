#include <cstdio>

#include "app/commands.h"

namespace pp {

int RunPlayer(CommandArgs) {
    std::fputs("particleplayer: player not built yet\n", stderr);
    return 1;
}

}  // namespace pp

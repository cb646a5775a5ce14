// The player: the scene in a window on the real clock, frame after frame, until the window is
// closed (or the process is asked to end, which the window layer turns into a close request).
#include <cstdio>
#include <string>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/scene.h"
#include "particleplayer/clock.h"
#include "particleplayer/screen.h"
#include "particleplayer/world.h"

namespace pp {

int RunPlayer(CommandArgs args) {
    int64_t threads = 0;
    std::optional<particleplayer::CpuPath> cpu;
    ArgWalker walk(args);
    while (walk.Next()) {
        const bool isCpu = walk.IsOption() && walk.Name() == "--cpu";
        if (!isCpu && (!walk.IsOption() || walk.Name() != "--threads")) {
            std::fprintf(stderr,
                         "particleplayer: unknown command or option '%.*s' (see particleplayer "
                         "--help)\n",
                         static_cast<int>(walk.Name().size()), walk.Name().data());
            return kExitUsage;
        }
        if (auto error = isCpu ? ReadCpuOption(walk, cpu) : ReadThreadsOption(walk, threads)) {
            std::fprintf(stderr, "particleplayer: %s\n", error->c_str());
            return kExitUsage;
        }
    }
    if (const std::optional<std::string> error = ApplyCpuOption(cpu)) {
        std::fprintf(stderr, "particleplayer: %s\n", error->c_str());
        return kExitUsage;
    }
    particleplayer::RealClock clock;
    particleplayer::WorldOptions options;
    options.HostClock = [&clock] { return clock.Now(); };
    particleplayer::World world(options);
    // 0 (no --threads) is one per hardware thread; the option allows no other count.
    world.SetThreads(static_cast<int32_t>(threads));
    if (const std::optional<SceneProblem> problem = StartScene(world, false)) {
        ReportWindowProblem("particleplayer", *problem);
        StopScene();
        return 1;
    }
    if (const std::string note = MissingDataNote(); !note.empty()) {
        std::fprintf(stderr, "particleplayer: %s\n", note.c_str());
    }

    RunFrameLoop([] { return true; }, [&world] { particleplayer::DrawFrame(world); });
    StopScene();
    return 0;
}

}  // namespace pp

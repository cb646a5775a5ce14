// particleplayer simulate: the engine without a display on a virtual clock, so that a seed
// and a frame step give the same particles on every run.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/budget_note.h"
#include "app/cli_args.h"
#include "app/clock_options.h"
#include "app/commands.h"
#include "app/effect_json.h"
#include "app/json_text.h"
#include "app/play_session.h"
#include "particleplayer/world.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "simulate";

constexpr const char* kUsage =
    "Usage: particleplayer simulate FILE [--at X,Y] [--seed S] [--frames N] [--frame-ms MS]\n"
    "                               [--clock-start T] [--print last|all] [--max-particles N]\n"
    "                               [--started] [--quiet]\n"
    "Runs the effect file FILE headless on a virtual clock. With --seed the random generator\n"
    "is seeded with S (0 to 4294967295) first; otherwise it seeds itself. The clock reads T\n"
    "(default 1000, -2147483648 to 4294967295) while FILE is loaded at (X, Y) (default 0,0);\n"
    "for frame k = 1..N (default 1) it reads T + k * MS (MS default 16), wrapping modulo 2^32\n"
    "as the system clock does, and the particles are updated once. After the last frame, or\n"
    "after every frame with --print all, one JSON line is printed:\n"
    "  {\"frame\": k, \"time\": T, \"dt\": D, \"particles\": [[Sprite, Size, X, Y, VelocityX,\n"
    "   VelocityY, Transparency, DeathTime, Angle, RotationStep], ...]}\n"
    "with the particles oldest first. With --started the particles of the effects that\n"
    "particles start follow FILE's own, in the order they were started, and every particle\n"
    "has an eleventh element: the number of the started effect it belongs to, as inspect\n"
    "shows it under OnBirth or OnDeath with its file, or -1 for FILE's own. The time, like every "
    "DeathTime, is the clock reading as\n"
    "the engine compares it: a signed 32-bit number (2147483648 ms on is -2147483648).\n"
    "A FILE that cannot be read still runs what the loader makes of its name; a note on\n"
    "stderr says so and the exit status is 1.\n"
    "--max-particles N (1 to 1000000000, default 1000000) is the particle budget: births\n"
    "beyond N live particles are dropped, in the same order on every run; one line on stderr\n"
    "says when.\n"
    "What 'particleplayer check' finds in FILE and the files it reaches goes to stderr, in\n"
    "check's lines, unless --quiet is given.\n";

struct Options : ClockOptions {
    Options() : ClockOptions(1) {}

    std::optional<std::string_view> File;
    int32_t X = 0;
    int32_t Y = 0;
    bool PrintAll = false;
    int64_t MaxParticles = particleplayer::kDefaultMaxParticles;
    bool Quiet = false;
    bool Started = false;  // the particles of started effects too, each marked
};

// Fills `options`; returns an error message for bad arguments, "" after printing --help.
std::optional<std::string> ParseOptions(CommandArgs args, Options& options) {
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        std::optional<std::string> error;
        if (!walk.IsOption()) {
            if (options.File) return "unexpected argument '" + std::string(name) + "'";
            options.File = name;
        } else if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return "";
        } else if (name == "--at") {
            const std::optional<std::string_view> value = walk.Value();
            if (!value) return "--at needs a value X,Y";
            const auto point = ParsePointArg(*value);
            if (!point)
                return "--at wants two whole numbers X,Y, not '" + std::string(*value) + "'";
            options.X = point->first;
            options.Y = point->second;
        } else if (ReadClockOption(walk, INT32_MAX, options, error)) {
            // Read, or `error` says why not.
        } else if (name == "--started") {
            if (walk.HasInlineValue()) return "--started takes no value";
            options.Started = true;
        } else if (name == "--quiet") {
            if (walk.HasInlineValue()) return "--quiet takes no value";
            options.Quiet = true;
        } else if (name == "--max-particles") {
            error = ReadMaxParticlesOption(walk, options.MaxParticles);
        } else if (name == "--print") {
            const std::optional<std::string_view> value = walk.Value();
            if (!value) return "--print needs a value, last or all";
            if (*value != "last" && *value != "all") {
                return "--print wants last or all, not '" + std::string(*value) + "'";
            }
            options.PrintAll = *value == "all";
        } else {
            return "unknown option '" + std::string(name) + "'";
        }
        if (error) return error;
    }
    if (!options.File) return "missing FILE (see particleplayer simulate --help)";
    return CheckClockRange(options, 0);
}

// The particles of FILE's effect, or with `marks` those of every effect, each marked with
// the number of the started effect it belongs to.
void AppendParticlesJson(std::string& out, particleplayer::World& world,
                         std::vector<particleplayer::Particle>& particles,
                         std::vector<int32_t>* marks) {
    if (marks == nullptr) {
        particles.clear();
        std::vector<particleplayer::Particle> one;
        for (const particleplayer::Effect effect : world.Effects()) {
            world.Particles(effect, one);
            particles.insert(particles.end(), one.begin(), one.end());
        }
    } else {
        world.AllParticles(particles, marks);
    }
    for (std::size_t i = 0; i < particles.size(); ++i) {
        if (i != 0) out += ", ";
        AppendParticleJson(out, particles[i]);
        if (marks == nullptr) continue;
        out.back() = ',';
        out += ' ';
        AppendJsonInt(out, (*marks)[i]);
        out += ']';
    }
}

void AppendFrameJson(std::string& out, particleplayer::World& world,
                     std::vector<particleplayer::Particle>& particles, std::vector<int32_t>* marks,
                     int64_t frame, uint32_t time, float dt) {
    out += "{\"frame\": ";
    AppendJsonInt(out, frame);
    out += ", \"time\": ";
    // The reading as the engine sees it, signed like the particles' death times.
    AppendJsonInt(out, static_cast<int32_t>(time));
    out += ", \"dt\": ";
    AppendJsonFloat(out, dt);
    out += ", \"particles\": [";
    AppendParticlesJson(out, world, particles, marks);
    out += "]}\n";
}

}  // namespace

int RunSimulate(CommandArgs args) {
    Options options;
    if (const std::optional<std::string> error = ParseOptions(args, options)) {
        return error->empty() ? 0 : UsageError(kCommand, *error);
    }

    particleplayer::WorldOptions worldOptions;
    worldOptions.StartTime = options.ClockStart;
    worldOptions.Seed = options.Seed;
    worldOptions.MaxParticles = options.MaxParticles;
    particleplayer::World world(worldOptions);
    BudgetNote budget(kCommand);
    const std::string path(*options.File);
    const auto loaded = LoadGroupArgument(world, path, static_cast<float>(options.X),
                                          static_cast<float>(options.Y));
    const bool readable = loaded.Ok();
    if (!readable) {
        std::fprintf(stderr,
                     "particleplayer simulate: could not read '%s'; running what the loader "
                     "makes without it\n",
                     path.c_str());
    }
    if (loaded.Value.Members.empty()) {
        std::fputs("particleplayer simulate: out of memory creating the emitter\n", stderr);
        return 1;
    }
    if (!options.Quiet) {
        const std::string paths[] = {path};
        PrintFindings(FindingsOf(paths, options.MaxParticles));
    }

    std::string out;
    std::vector<particleplayer::Particle> particles;
    std::vector<int32_t> marks;
    for (int64_t frame = 1; frame <= options.Frames; ++frame) {
        // Modulo 2^32, as the system clock wraps.
        const auto time = static_cast<uint32_t>(options.ClockStart + frame * options.FrameMs);
        world.SetTime(time);
        const float dt = world.Update();
        budget.Check(world);
        if (!options.PrintAll && frame != options.Frames) continue;
        out.clear();
        AppendFrameJson(out, world, particles, options.Started ? &marks : nullptr, frame, time, dt);
        if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) return 1;
    }
    return std::fflush(stdout) == 0 && readable ? 0 : 1;
}

}  // namespace pp

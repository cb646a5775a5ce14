// particleplayer inspect: loads one effect file as the player does and prints the emitter.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "app/effect_json.h"
#include "app/play_session.h"
#include "particleplayer/world.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "inspect";

constexpr const char* kUsage =
    "Usage: particleplayer inspect FILE [--at X,Y] [--quiet]\n"
    "Loads the effect file FILE into a new emitter at (X, Y) (default 0,0), with its Extends\n"
    "chain, exactly as the player does, and prints the emitter's fields as one JSON object\n"
    "(a group file, or a libGDX file, gives one line per effect, in its order).\n"
    "A FILE that cannot be read still gives an emitter (the loader reads its name as the\n"
    "effect text); a note on stderr says so and the exit status is 1. Paths may use '\\' as\n"
    "folder separator. What 'particleplayer check' finds in FILE and the files it reaches\n"
    "goes to stderr, in check's lines, unless --quiet is given.\n";

// What the arguments ask for.
struct InspectArgs {
    std::optional<std::string_view> File;
    int32_t X = 0;
    int32_t Y = 0;
    bool Quiet = false;
};

// Reads the arguments into `to`; the exit status when the command ends here (help, a usage
// error), nullopt when it goes on.
std::optional<int> ParseInspectArgs(CommandArgs args, InspectArgs& to) {
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        if (!walk.IsOption()) {
            if (to.File)
                return UsageError(kCommand, "unexpected argument '" + std::string(name) + "'");
            to.File = name;
        } else if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (name == "--at") {
            const std::optional<std::string_view> value = walk.Value();
            if (!value) return UsageError(kCommand, "--at needs a value X,Y");
            const auto point = ParsePointArg(*value);
            if (!point) {
                return UsageError(kCommand, "--at wants two whole numbers X,Y, not '" +
                                                std::string(*value) + "'");
            }
            to.X = point->first;
            to.Y = point->second;
        } else if (name == "--quiet") {
            if (walk.HasInlineValue()) return UsageError(kCommand, "--quiet takes no value");
            to.Quiet = true;
        } else {
            return UsageError(kCommand, "unknown option '" + std::string(name) + "'");
        }
    }
    if (!to.File) return UsageError(kCommand, "missing FILE (see particleplayer inspect --help)");
    return std::nullopt;
}

// Writes one JSON object a line for each member, in the group's order; false when a member's
// record cannot be read or stdout fails.
bool PrintMembers(particleplayer::World& world,
                  const std::vector<particleplayer::Effect>& members) {
    std::string out;
    for (const particleplayer::Effect member : members) {
        const auto params = world.Params(member);
        const auto extras = world.Extras(member);
        if (!params.Ok() || !extras.Ok()) {
            std::fputs("particleplayer inspect: out of memory creating the emitter\n", stderr);
            return false;
        }
        // The optional keys show too, and with them the effects the particles start.
        AppendEffectJson(out, params.Value, extras.Value,
                         [&world](int32_t number) { return world.StartedEffectOf(number); });
        out += '\n';
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0;
}

}  // namespace

int RunInspect(CommandArgs args) {
    InspectArgs a;
    if (const std::optional<int> done = ParseInspectArgs(args, a)) return *done;

    const std::string path(*a.File);
    particleplayer::World world;
    const auto loaded =
        LoadGroupArgument(world, path, static_cast<float>(a.X), static_cast<float>(a.Y));
    const bool readable = loaded.Ok();
    if (!readable) {
        std::fprintf(stderr,
                     "particleplayer inspect: could not read '%s'; the emitter below is what "
                     "the loader makes without it\n",
                     path.c_str());
    }
    if (!a.Quiet) {
        const std::string paths[] = {path};
        PrintFindings(FindingsOf(paths, world.MaxParticles()));
    }
    if (loaded.Value.Members.empty()) {
        std::fprintf(stderr, "particleplayer inspect: %s\n", loaded.Error.c_str());
        return 1;
    }
    if (!PrintMembers(world, loaded.Value.Members)) return 1;
    return readable ? 0 : 1;
}

}  // namespace pp

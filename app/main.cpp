// particleplayer: the windowed player without a subcommand, and the headless subcommands.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_args.h"
#include "app/commands.h"
#include "particleplayer/check.h"

namespace pp {
namespace {

struct Command {
    const char* Name;
    int (*Run)(CommandArgs args);
    const char* Synopsis;
    const char* Summary;
};

// New subcommands are added here; usage lists them in this order.
const Command kCommands[] = {
    {"inspect", RunInspect, "inspect FILE [--at X,Y] [--quiet]",
     "print the emitter an effect file configures, with the effects its particles start, as\n"
     "      JSON"},
    {"simulate", RunSimulate,
     "simulate FILE [--at X,Y] [--seed S] [--frames N] [--frame-ms MS] [--clock-start T]\n"
     "           [--print last|all] [--max-particles N] [--started] [--quiet]",
     "run an effect headless on a virtual clock, print its particles as JSON lines"},
    {"render", RunRender,
     "render [--frames N] [--frame-ms MS] [--seed S] [--clock-start T] [--out PATH] [--fps F]\n"
     "         [--stats] [--stress N] [--threads N] [--cpu P] [--max-particles N] [--quiet]\n"
     "         [--background B] [--size WxH] [--crop C] [--scale F] [--sheet S] [--loop SEC]\n"
     "         [EFFECT.txt[:SPRITE.png][@X,Y] ...]",
     "draw the scene, or the effects given, without a display on a virtual clock, write the\n"
     "      frames as PNGs or as an .mp4, .webm or .gif video of F frames a second"},
    {"check", RunCheck, "check [--max-particles N] FILE...",
     "report what the effect reader ignores or misreads, as FILE:LINE:COLUMN: message"},
    {"import", RunImport, "import FILE... [--out DIR]",
     "write Particle Designer effects (.plist, .pex) as effect texts with their sprites, and\n"
     "      what plays otherwise as FILE:LINE: message"},
    {"edit", RunEdit, "edit [EFFECT.txt[:SPRITE.png][@X,Y] ...]",
     "edit an effect in a window: the live preview beside a panel of every key and the text"},
    {"set", RunSet, "set FILE KEY=VALUE...",
     "set keys of an effect file, rewriting only their values; refuses what check would report"},
    {"play", RunPlay,
     "play [--threads N] [--cpu P] [--max-particles N] [EFFECT.txt[:SPRITE.png][@X,Y] ...]",
     "play effects in a window, applying edits to their files live; keys Space, R, S, Esc"},
};

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: particleplayer [COMMAND [ARGS...]]\n"
        "       particleplayer [--threads N] [--cpu P]\n"
        "Without a command, plays the scene of Data/ in a window until it is closed; --threads N\n"
        "(1 to 256, default one per hardware thread) and --cpu P as for render.\n"
        "\n"
        "Commands:\n",
        out);
    for (const Command& command : kCommands) {
        std::fprintf(out, "  %s\n      %s\n", command.Synopsis, command.Summary);
    }
    std::fputs(
        "  help [COMMAND]\n"
        "      this text, or the details of one command (as COMMAND --help)\n"
        "\n"
        "Run 'particleplayer COMMAND --help' for the details of one command;\n"
        "'particleplayer --version' prints the version.\n"
        "Exit status: 0 done, 1 failed (a file that cannot be read included), 2 bad usage.\n",
        out);
}

// " did you mean 'render'?" for a name a command's name is near to, else "".
std::string NearestCommand(std::string_view name) {
    std::vector<std::string_view> names = {"help"};
    for (const Command& command : kCommands) names.emplace_back(command.Name);
    const std::optional<std::string_view> near = particleplayer::NearestName(name, names);
    return near ? "; did you mean '" + std::string(*near) + "'?" : "";
}

int UnknownCommand(std::string_view name) {
    std::fprintf(stderr,
                 "particleplayer: unknown command or option '%.*s'%s (see particleplayer "
                 "--help)\n",
                 static_cast<int>(name.size()), name.data(), NearestCommand(name).c_str());
    return kExitUsage;
}

const Command* FindCommand(std::string_view name) {
    for (const Command& command : kCommands) {
        if (name == command.Name) return &command;
    }
    return nullptr;
}

// help [COMMAND]: the usage, or what COMMAND --help prints.
int RunHelp(CommandArgs args) {
    if (args.empty()) {
        PrintUsage(stdout);
        return 0;
    }
    if (args.size() > 1) {
        return UsageError("help", "takes one COMMAND at most, not '" + std::string(args[1]) + "'");
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr) {
        return UsageError("help", "no command '" + std::string(args[0]) + "'" +
                                      NearestCommand(args[0]) + " (see particleplayer --help)");
    }
    const std::string_view help[] = {"--help"};
    return command->Run(CommandArgs(help));
}

int Main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    if (args.empty()) return RunPlayer({});
    const std::string_view first = args.front();
    const CommandArgs rest = CommandArgs(args).subspan(1);
    if (first == "--help" || first == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    if (first == "--version") {
        std::puts("particleplayer " PP_VERSION);
        return 0;
    }
    if (first == "help") return RunHelp(rest);
    if (first == "--threads" || first.starts_with("--threads=") || first == "--cpu" ||
        first.starts_with("--cpu=")) {
        return RunPlayer(args);
    }
    if (const Command* command = FindCommand(first)) return command->Run(rest);
    return UnknownCommand(first);
}

}  // namespace
}  // namespace pp

int main(int argc, char** argv) {
    return pp::Main(argc, argv);
}

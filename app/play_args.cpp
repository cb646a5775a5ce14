// play's command line: EFFECT[:SPRITE][@X,Y[+VX,VY]] arguments, their files checked, unplaced
// effects spread across the middle.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/play_session.h"
#include "particleplayer/effect_files.h"

namespace pp {
namespace {

constexpr const char* kUsage =
    "Usage: particleplayer play [--threads N] [--cpu P] [--max-particles N]\n"
    "                           [EFFECT.txt[:SPRITE.png][@X,Y[+VX,VY]] ...]\n"
    "Plays the given effect files in an 800 x 600 window, the n-th with sprite n; without any,\n"
    "the scene of Data/. SPRITE defaults to the image EFFECT names with SpriteFile, else to the\n"
    ".png beside EFFECT; a file that names SpriteFile opens its other paths from its folder.\n"
    "X,Y (pixels from the top left, y down) defaults to the centre, or to a row across the\n"
    "middle for several effects; an EmitterPosition in the file still wins. Paths with '@' or\n"
    "':' in them are read as written when what follows is no position or sprite.\n"
    "+VX,VY after the position moves the emitter from X,Y at VX,VY pixels a second (whole\n"
    "numbers, -1000000 to 1000000), as a host's SetPosition each frame would.\n"
    "Saving an effect file, a file it extends or its sprite applies it again within half a\n"
    "second; the particles already alive live on. Every load prints what 'particleplayer\n"
    "check' finds in the effect's files; an effect file that cannot be read, or a sprite that\n"
    "is no image, leaves what was loaded before. The title shows the live particle count and\n"
    "the frames per second.\n"
    "Keys: Space pauses and resumes, R restarts, S saves a screenshot PNG in the working\n"
    "folder, Escape quits.\n"
    "--threads N (1 to 256) updates and draws large particle lists on N threads, the\ncalling one "
    "included (default: one per hardware thread); 1 does all on one thread. The\nparticles and "
    "pixels are the same for every N.\n"
    "--cpu scalar|sse2|avx2|avx512 runs the update and the vertex work in plain code, SSE2,\n"
    "AVX2 or AVX-512 in place of the widest this processor has; the pixels are the same on each.\n"
    "--max-particles N (1 to 1000000000, default 1000000) is the particle budget: births\n"
    "beyond N live particles are dropped; one line on stderr says so, once per load.\n";

// Reads "X,Y" or "X,Y+VX,VY" (the tail after '@' of arg) into effect. No number carries a '+'
// of its own, so the first one splits the position from the velocity.
std::optional<std::string> ParsePlace(std::string_view tail, std::string_view arg,
                                      PlayEffect& effect) {
    const std::size_t plus = tail.find('+');
    const auto point = ParsePointArg(tail.substr(0, plus));
    if (!point) {
        return "'@" + std::string(tail) + "' in '" + std::string(arg) +
               "' is not a position; write @X,Y with whole numbers, as in @400,300";
    }
    effect.X = point->first;
    effect.Y = point->second;
    if (plus == std::string_view::npos) return std::nullopt;
    const std::string_view speed = tail.substr(plus + 1);
    const std::size_t comma = speed.find(',');
    const auto vx = ParseIntArg(speed.substr(0, comma), -kMaxPlaySpeed, kMaxPlaySpeed);
    const auto vy = comma == std::string_view::npos
                        ? std::nullopt
                        : ParseIntArg(speed.substr(comma + 1), -kMaxPlaySpeed, kMaxPlaySpeed);
    if (!vx || !vy) {
        return "'+" + std::string(speed) + "' in '" + std::string(arg) +
               "' is not a velocity; write +VX,VY in whole pixels a second from -" +
               std::to_string(kMaxPlaySpeed) + " to " + std::to_string(kMaxPlaySpeed) +
               ", as in @100,300+400,0";
    }
    effect.VX = static_cast<int32_t>(*vx);
    effect.VY = static_cast<int32_t>(*vy);
    return std::nullopt;
}

// Splits "EFFECT[:SPRITE][@X,Y[+VX,VY]]". A trailing '@' followed only by what a position is made
// of must be a position; otherwise the '@' belongs to the path.
std::optional<std::string> ParseEffectArg(std::string_view arg, PlayEffect& effect,
                                          bool& positioned) {
    std::string_view rest = arg;
    positioned = false;
    // Said when the file cannot be read, in case the '@' was meant as a position.
    std::string atHint;
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view tail = rest.substr(at + 1);
        if (tail.find('/') == std::string_view::npos) {
            atHint = " ('@" + std::string(tail) + "' is no position X,Y)";
        }
        if (tail.find_first_not_of("0123456789+-, ") == std::string_view::npos) {
            if (auto error = ParsePlace(tail, arg, effect)) return error;
            positioned = true;
            rest = rest.substr(0, at);
        }
    }
    std::string_view sprite;
    if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        sprite = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
        if (rest.empty() || sprite.empty()) {
            return "'" + std::string(arg) + "' needs a path on both sides of ':' (EFFECT:SPRITE)";
        }
    }
    if (rest.empty()) return "'" + std::string(arg) + "' names no effect file";
    effect.Effect = rest;
    if (const std::string problem = FileProblem(particleplayer::EffectOpenPath(effect.Effect));
        !problem.empty()) {
        return "cannot read the effect file '" + effect.Effect + "': " + problem +
               (positioned ? "" : atHint);
    }
    // A file of the new kind, with an image of its own, keeps its paths beside it.
    effect.Folder =
        particleplayer::CommandLineFolder(particleplayer::EffectOpenPath(effect.Effect));
    if (sprite.empty() &&
        particleplayer::NamesSpriteFile(particleplayer::EffectOpenPath(effect.Effect)))
        return std::nullopt;
    if (!sprite.empty()) {
        effect.SpriteGiven = true;
        effect.Sprite = sprite;
        if (const std::string problem = FileProblem(particleplayer::EffectOpenPath(effect.Sprite));
            !problem.empty()) {
            return "cannot read the sprite '" + effect.Sprite + "': " + problem +
                   (positioned ? "" : atHint);
        }
    } else {
        effect.Sprite = std::filesystem::path(effect.Effect).replace_extension(".png").string();
        // A missing default sprite is only a note (see ParsePlayArgs); one that is there
        // must be an image like any other.
        if (!FileProblem(particleplayer::EffectOpenPath(effect.Sprite)).empty())
            return std::nullopt;
    }
    if (const std::string problem = SpriteProblem(particleplayer::EffectOpenPath(effect.Sprite));
        !problem.empty()) {
        return "cannot use the sprite '" + effect.Sprite + "': " + problem;
    }
    return std::nullopt;
}

// Adds the effect, or the members of the group file it names in its place, each taking the
// sprite and position the argument gives. A member is read as an argument of its own.
std::optional<std::string> AddEffect(PlayEffect effect, bool hasPosition,
                                     std::vector<PlayEffect>& effects,
                                     std::vector<bool>& positioned, std::vector<bool>& joined) {
    const std::optional<std::vector<std::string>> members =
        particleplayer::EffectGroupMembers(effect.Effect);
    if (!members) {
        effects.push_back(std::move(effect));
        positioned.push_back(hasPosition);
        joined.push_back(false);
        return std::nullopt;
    }
    if (members->empty()) return "the group '" + effect.Effect + "' has no member to play";
    for (std::size_t i = 0; i < members->size(); ++i) {
        if (effects.size() == kMaxPlayEffects) {
            return "at most " + std::to_string(kMaxPlayEffects) + " effects at once";
        }
        const std::string arg = (*members)[i] + (effect.SpriteGiven ? ":" + effect.Sprite : "");
        PlayEffect member;
        bool unused = false;
        if (auto error = ParseEffectArg(arg, member, unused)) return error;
        member.X = effect.X;
        member.Y = effect.Y;
        member.VX = effect.VX;
        member.VY = effect.VY;
        effects.push_back(std::move(member));
        positioned.push_back(hasPosition);
        joined.push_back(i > 0);
    }
    return std::nullopt;
}

// Unplaced effects stand in a row across the middle: one in the centre, two at a third and two
// thirds of the width, and so on; a group's later members share their first's place.
void PlaceInARow(std::vector<PlayEffect>& effects, const std::vector<bool>& positioned,
                 const std::vector<bool>& joined) {
    int64_t unplaced = 0;
    for (std::size_t i = 0; i < effects.size(); ++i) unplaced += !positioned[i] && !joined[i];
    int64_t slot = 0;
    for (std::size_t i = 0; i < effects.size(); ++i) {
        if (positioned[i]) continue;
        slot += !joined[i];
        effects[i].X = static_cast<int32_t>(kSceneWidth * slot / (unplaced + 1));
        effects[i].Y = kSceneHeight / 2;
    }
}

void NoteMissingSprites(const std::vector<PlayEffect>& effects, std::vector<std::string>& notes) {
    for (const PlayEffect& effect : effects) {
        if (effect.Sprite.empty() ||
            FileProblem(particleplayer::EffectOpenPath(effect.Sprite)).empty()) {
            continue;
        }
        notes.push_back("no sprite " + effect.Sprite + " beside " + effect.Effect +
                        ": its particles draw nothing while that file is missing (or name one as " +
                        effect.Effect + ":SPRITE.png)");
    }
}

}  // namespace

std::string FileProblem(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        // A folder on the way that cannot be searched is not the same as a missing file.
        if (error && error != std::errc::no_such_file_or_directory) return error.message();
        return "no such file";
    }
    if (!std::filesystem::is_regular_file(status)) return "not a regular file";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return "";
}

std::optional<std::string> ParsePlayArgs(CommandArgs args, std::vector<PlayEffect>& effects,
                                         std::vector<std::string>& notes, int64_t* threads,
                                         int64_t* maxParticles,
                                         std::optional<particleplayer::CpuPath>* cpu) {
    effects.clear();
    notes.clear();
    std::vector<bool> positioned;
    std::vector<bool> joined;  // a group's member after its first: it shares that one's place
    ArgWalker walk(args);
    while (walk.Next()) {
        const std::string_view name = walk.Name();
        if (walk.IsOption()) {
            if (name == "--help" || name == "-h") {
                std::fputs(kUsage, stdout);
                return "";
            }
            if (threads != nullptr && name == "--threads") {
                if (auto error = ReadThreadsOption(walk, *threads)) return error;
                continue;
            }
            if (cpu != nullptr && name == "--cpu") {
                if (auto error = ReadCpuOption(walk, *cpu)) return error;
                continue;
            }
            if (maxParticles != nullptr && name == "--max-particles") {
                if (auto error = ReadMaxParticlesOption(walk, *maxParticles)) return error;
                continue;
            }
            return "unknown option '" + std::string(name) +
                   "' (a path that starts with '-' goes after '--')";
        }
        if (effects.size() == kMaxPlayEffects) {
            return "at most " + std::to_string(kMaxPlayEffects) + " effects at once";
        }
        PlayEffect effect;
        bool hasPosition = false;
        if (auto error = ParseEffectArg(name, effect, hasPosition)) return error;
        if (auto error = AddEffect(std::move(effect), hasPosition, effects, positioned, joined)) {
            return error;
        }
    }
    if (effects.empty()) {
        effects = BuiltInPlayEffects();
        if (std::string note = MissingDataNote(); !note.empty()) notes.push_back(std::move(note));
        return std::nullopt;
    }

    PlaceInARow(effects, positioned, joined);
    NoteMissingSprites(effects, notes);
    return std::nullopt;
}

std::vector<PlayEffect> BuiltInPlayEffects() {
    std::vector<PlayEffect> effects;
    for (const SceneEffect& row : kScene) {
        effects.push_back(PlayEffect{row.Effect, row.Image, row.X, row.Y, true, ""});
    }
    return effects;
}

}  // namespace pp

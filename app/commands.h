// The subcommands of particleplayer. Each takes the arguments after its own name and returns
// the process exit status: 0 done, 1 failed, 2 bad arguments (one line on stderr).
#pragma once

#include <cstdint>

#include "app/cli_args.h"
#include "particleplayer/world.h"

namespace pp {

// The headless commands run on a virtual clock that reads this through start-up and loading,
// the first reading of a world's own virtual clock; frame k then reads
// kVirtualStartTime + k * frame-ms.
inline constexpr uint32_t kVirtualStartTime = particleplayer::kDefaultStartTime;

// No subcommand: the windowed player.
int RunPlayer(CommandArgs args);

// inspect FILE [--at X,Y]: the emitter that FILE configures, as one JSON object.
int RunInspect(CommandArgs args);

// simulate FILE [--at X,Y] [--seed S] [--frames N] [--frame-ms MS] [--print last|all]:
// the engine on a virtual clock, one JSON line per printed frame.
int RunSimulate(CommandArgs args);

// render [--frames N] [--frame-ms MS] [--seed S] [--out PATH] ...: the player's scene (or
// given effects) drawn without a display on a virtual clock, written as PNG frames, one PNG,
// a video, a GIF or a sprite sheet.
int RunRender(CommandArgs args);

// check FILE...: what the effect reader ignores or misreads in each file and the files it
// extends, one "FILE:LINE:COLUMN: message" line per finding; 1 when anything was reported.
int RunCheck(CommandArgs args);

// edit [EFFECT.txt[:SPRITE.png][@X,Y] ...]: the preview of the effects beside a panel of every
// key of the first one's file and its text, edited through the edit model.
int RunEdit(CommandArgs args);

// set FILE KEY=VALUE...: each key of the effect file set to its value, only the value's bytes
// rewritten; a value check reports as misread is refused and the file left as it was.
int RunSet(CommandArgs args);

// play [EFFECT.txt[:SPRITE.png][@X,Y] ...]: the given effects (or the scene) in a window on the
// real clock, each applied again when one of its files changes; Space pauses, R restarts, S
// saves a screenshot, Escape quits.
int RunPlay(CommandArgs args);

// import FILE... [--out DIR]: Particle Designer effects (.plist, .pex) written as effect texts
// with their sprites, and a finding for each value that plays otherwise here.
int RunImport(CommandArgs args);

}  // namespace pp

// The player in the browser: the page's JavaScript (page.js) writes the scene's files into
// the in-memory file system and calls these functions. Two modes: render, the scene on the
// virtual clock of `particleplayer render` (frame k at 1000 + k * MS), held at its last frame;
// and play, the scene (or dropped effects) on the real clock as `particleplayer play` shows
// it, every edit of an effect text applied as play applies a save. The browser calls the
// frames at the display's rate; everything runs on its main thread.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_args.h"
#include "app/clock_options.h"
#include "app/commands.h"
#include "app/play_session.h"
#include "app/png_writer.h"
#include "app/scene.h"
#include "app/stress_scene.h"
#include "particleplayer/clock.h"
#include "particleplayer/edit.h"
#include "particleplayer/effect_files.h"
#include "particleplayer/screen.h"
#include "particleplayer/world.h"
#include "web/panel.h"

namespace pp {
namespace {

// Longest render the page runs, as render's frame numbers allow.
constexpr int64_t kMaxFrames = 99999;

struct RenderRun {
    ClockOptions Options{60};
    particleplayer::VirtualClock Clock{kVirtualStartTime};
    std::unique_ptr<particleplayer::World> World;
    int64_t Stress = 0;    // particles of the scale scene, as render's --stress
    int64_t WarmUpMs = 0;  // updates before frame 1, as render makes them
    int64_t Frame = 0;
    // The preview controls: the run's arguments (to replay it from its seed), paused, the
    // speed in frames per display frame and the part of a frame it has gathered, and whether
    // it starts again at its end or once every particle has died.
    std::string Args;
    bool Paused = false;
    bool Loop = false;
    double Speed = 1.0;
    double Gathered = 0.0;
    double FrameMs = 0.0;  // the main-thread time of the last frame (update and drawing)
};

struct PlayRun {
    particleplayer::RealClock Real;
    std::unique_ptr<PlaySession> Session;
    std::vector<particleplayer::KeyboardKey> Keys;  // pressed since the last frame
    std::string PanelFile;    // the file the editor's panel edits ("" while it edits none)
    std::string PanelFolder;  // the folder its Extends paths are opened from
    std::string PanelSprite;  // the image the effect draws with, pictured under its sheet
};

struct WebState {
    std::unique_ptr<RenderRun> Render;
    std::unique_ptr<PlayRun> Play;
    std::string Messages;  // lines for the page, taken by pp_web_take_messages
    std::string Text;      // the last string handed to the page
    std::vector<uint8_t> Png;
    std::vector<double> FrameMs;  // main-thread time of the latest frames
};

WebState& State() {
    static WebState* state = new WebState;
    return *state;
}

void Say(const std::string& line) {
    State().Messages += line;
    State().Messages += '\n';
}

// Splits the page's argument text at spaces; arguments never contain one.
std::vector<std::string> SplitArgs(const char* text) {
    std::vector<std::string> args;
    std::string current;
    for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
        if (*c == ' ') {
            if (!current.empty()) args.push_back(current);
            current.clear();
        } else {
            current += *c;
        }
    }
    if (!current.empty()) args.push_back(current);
    return args;
}

void StopEverything() {
    WebState& s = State();
    emscripten_cancel_main_loop();
    s.Render.reset();
    s.Play.reset();
    StopScene();
}

// Keeps the main-thread time of the latest frames for pp_web_frame_times.
void RecordFrameTime(double startMs) {
    std::vector<double>& times = State().FrameMs;
    if (times.size() >= 600) times.erase(times.begin(), times.begin() + 300);
    times.push_back(emscripten_get_now() - startMs);
}

// A display frame takes at most this many frames, so that 4x on a slow display cannot fall
// ever further behind.
constexpr int kMaxFramesPerStep = 8;

int StartRender(const std::string& args);

// Moves the run on one frame and sets the clock to that frame's time, as render counts it.
void StepClock(RenderRun& run) {
    ++run.Frame;
    run.Clock.Set(static_cast<uint32_t>(int64_t{run.Options.ClockStart} + run.WarmUpMs +
                                        run.Frame * run.Options.FrameMs));
}

// Render's next frame: the clock set to it, one update, drawn and shown.
void NextFrame(RenderRun& run) {
    const double start = emscripten_get_now();
    StepClock(run);
    (void)particleplayer::DrawFrame(*run.World);
    RecordFrameTime(start);
    run.FrameMs = State().FrameMs.back();
    if (run.Frame == 1) emscripten_run_script("window.ppFirstFrameMs = performance.now()");
    if (run.Frame >= run.Options.Frames) emscripten_run_script("document.title = 'done'");
}

// Moves the run on to frame `frame` (at most its last): the frames before it only updated,
// that one drawn.
void MoveTo(RenderRun& run, int64_t frame) {
    frame = std::min(frame, run.Options.Frames);
    while (run.Frame + 1 < frame) {
        StepClock(run);
        (void)run.World->Update();
    }
    if (run.Frame < frame) NextFrame(run);
}

// Replays the run from its seed to frame `frame`, keeping the controls (the engine is
// deterministic, so going back is a replay).
void ReplayTo(int64_t frame) {
    const RenderRun& run = *State().Render;
    const bool paused = run.Paused, loop = run.Loop;
    const double speed = run.Speed;
    if (StartRender(std::string(run.Args)) != 1) return;
    RenderRun& again = *State().Render;
    again.Paused = paused;
    again.Loop = loop;
    again.Speed = speed;
    MoveTo(again, frame);
}

void RenderStep(void*) {
    RenderRun& run = *State().Render;
    if (run.Paused) return;
    // The last frame stays on the canvas unless the run loops, when it also starts again once
    // every particle has died (a Duration or a burst count has run out).
    const bool ended = run.Frame >= run.Options.Frames;
    if (ended || (run.Loop && run.Frame > 0 && run.World->ParticleCount() == 0)) {
        if (run.Loop) ReplayTo(0);
        return;
    }
    run.Gathered += std::clamp(run.Speed, 0.25, 4.0);
    for (int i = 0; run.Gathered >= 1.0 && i < kMaxFramesPerStep; ++i) {
        run.Gathered -= 1.0;
        NextFrame(run);
        if (run.Frame >= run.Options.Frames) break;
    }
    run.Gathered = std::min(run.Gathered, 1.0);
}

void QueueKey(particleplayer::KeyboardKey key) {
    PlayRun* play = State().Play.get();
    if (play != nullptr && play->Keys.size() < 64) play->Keys.push_back(key);
}

void ReportReloads(const PlaySession& session, const std::vector<PlayReload>& reloads) {
    for (const PlayReload& reload : reloads) {
        const PlayEffect& effect = session.Effects()[reload.Effect];
        if (reload.EffectFile && !reload.EffectKept.empty()) {
            Say("cannot read " + effect.Effect + " (" + reload.EffectKept +
                "); the effect plays on as it was");
        } else if (reload.EffectFile) {
            Say("applied " + effect.Effect + " again");
        }
        if (reload.Sprite && !reload.SpriteKept.empty()) {
            Say("cannot use sprite " + effect.Sprite + " (" + reload.SpriteKept +
                "); the old one stays");
        } else if (reload.Sprite) {
            Say("loaded sprite " + effect.Sprite + " again");
        }
    }
}

// Encodes the screen's last frame as the PNG that render writes; false without a screen.
bool FramePng() {
    std::vector<uint8_t> bgr;
    if (!particleplayer::ReadPixels(bgr, particleplayer::PixelOrder::Bgr).Ok()) return false;
    const particleplayer::PixelSize size = particleplayer::ScreenSize();
    auto png = EncodePngFromBgr(size.Width, size.Height, bgr);
    if (!png) return false;
    State().Png = std::move(*png);
    return true;
}

// The image played effect `index` draws with: its sprite, or the one its file names.
std::string SpriteOf(PlaySession& session, std::size_t index) {
    const PlayEffect& e = session.Effects()[index];
    return e.Sprite.empty() ? session.GetWorld().Extras(session.EffectOf(index)).Value.SpriteFile
                            : particleplayer::EffectOpenPath(e.Sprite);
}

// The panel edits the file at `path` (Extends paths in it opened from `folder`); false with the
// reason said when it cannot.
bool OpenPanelFile(PlayRun& run, const std::string& path, const std::string& folder) {
    particleplayer::Result<particleplayer::EffectEdit> opened =
        particleplayer::EffectEdit::Open(path);
    if (!opened.Ok()) {
        Say("the panel cannot open " + path + ": " + opened.Error);
        return false;
    }
    if (!OpenPagePanel("#edit-panel", opened.Value.Bytes(), path, folder, run.PanelSprite)) {
        Say("this browser offers the panel no WebGL 2 context");
        return false;
    }
    run.PanelFile = path;
    run.PanelFolder = folder;
    return true;
}

void PlayStep(void*) {
    PlayRun& run = *State().Play;
    const double start = emscripten_get_now();
    // Key presses come in through the window's key hook while events are taken.
    while (particleplayer::WaitScreenEvent(0) != particleplayer::ScreenEvent::None) {
    }
    std::vector<particleplayer::KeyboardKey> keys;
    keys.swap(run.Keys);
    for (const particleplayer::KeyboardKey key : keys) {
        if (key == particleplayer::KeyboardKey::Space) {
            run.Session->Paused() ? run.Session->Resume() : run.Session->Pause();
        } else if (key == particleplayer::KeyboardKey::R) {
            run.Session->Restart();
        } else if (key == particleplayer::KeyboardKey::S) {
            emscripten_run_script("window.ppScreenshot && window.ppScreenshot()");
        }
    }
    run.Session->Frame();
    RecordFrameTime(start);
    // The panel's edit is saved as the page saves a typed text, and applied as play applies a
    // save; the page then shows the file's new text.
    if (const std::optional<std::string> bytes = PagePanelFrame();
        bytes && !run.PanelFile.empty()) {
        const particleplayer::Status saved = particleplayer::EffectEdit(*bytes).Save(run.PanelFile);
        if (!saved.Ok()) Say("cannot save " + run.PanelFile + ": " + saved.Error);
        ReportReloads(*run.Session, run.Session->PollReload());
        emscripten_run_script("window.ppPanelEdited && window.ppPanelEdited()");
    }
    // "open the parent": the panel and the text box edit that file from the next frame on (play
    // applies its saves to the effects extending it).
    if (const std::string parent = TakePagePanelOpenRequest(); !parent.empty()) {
        OpenPanelFile(run, parent, std::string(run.PanelFolder));
        emscripten_run_script("window.ppPanelOpened && window.ppPanelOpened()");
    }
}

// Starts a play run of effects; false with the reason said when the canvas cannot draw.
bool StartPlay(std::vector<PlayEffect> effects, const std::vector<std::string>& notes) {
    StopEverything();
    WebState& s = State();
    s.Play = std::make_unique<PlayRun>();
    // A world runs on the calling thread unless told otherwise: the browser build has no
    // others.
    s.Play->Session = std::make_unique<PlaySession>(s.Play->Real, std::move(effects));
    if (const std::optional<SceneProblem> problem = OpenPlayScreen(false)) {
        Say(SceneProblemText(*problem, ScenePlace::Canvas));
        StopEverything();
        return false;
    }
    for (const std::string& note : notes) Say(note);
    s.Play->Session->Start();
    particleplayer::SetKeyboardHook(&QueueKey);
    emscripten_set_main_loop_arg(&PlayStep, nullptr, 0, 0);
    return true;
}

// Render mode: `args` are render's clock options ("--seed 1 --frames 60 --frame-ms 16") and
// its --stress N. Returns 1 when the run started; 0 with the reason in the messages.
int StartRender(const std::string& args) {
    StopEverything();
    const std::vector<std::string> words = SplitArgs(args.c_str());
    const std::vector<std::string_view> views(words.begin(), words.end());
    auto run = std::make_unique<RenderRun>();
    ArgWalker walk(views);
    while (walk.Next()) {
        std::optional<std::string> error;
        if (walk.Name() == "--stress") {
            error = ReadIntOption(walk, 1, kMaxStress, run->Stress);
        } else if (!ReadClockOption(walk, kMaxFrames, run->Options, error)) {
            error = "unknown option '" + std::string(walk.Name()) + "'";
        }
        if (error) {
            Say("particleplayer render: " + *error);
            return 0;
        }
    }
    run->WarmUpMs = run->Stress > 0 ? kStressWarmUpMs : 0;
    if (const std::optional<std::string> error = CheckClockRange(run->Options, run->WarmUpMs)) {
        Say("particleplayer render: " + *error);
        return 0;
    }
    run->Args = args;
    run->Clock.Set(run->Options.ClockStart);
    particleplayer::WorldOptions options;
    particleplayer::VirtualClock* clock = &run->Clock;
    options.HostClock = [clock] { return clock->Now(); };
    // On the calling thread, as a world runs unless told otherwise.
    options.MaxParticles = particleplayer::kDefaultMaxParticles + run->Stress;
    run->World = std::make_unique<particleplayer::World>(options);
    if (run->Options.Seed) run->World->Seed(*run->Options.Seed);
    State().Render = std::move(run);
    if (const std::optional<SceneProblem> problem = StartScene(*State().Render->World, false)) {
        Say("particleplayer render: " + SceneProblemText(*problem, ScenePlace::Canvas));
        StopEverything();
        return 0;
    }
    if (const std::string note = MissingDataNote(); !note.empty()) {
        Say("particleplayer render: " + note);
    }
    RenderRun& started = *State().Render;
    if (started.Stress > 0) {
        if (const std::optional<std::string> error =
                AddStressEmitters(*started.World, started.Stress)) {
            Say("particleplayer render: " + *error);
            StopEverything();
            return 0;
        }
        const int64_t step = started.Options.FrameMs > 0 ? started.Options.FrameMs : 16;
        WarmUpWorld(*started.World, started.Clock, started.Options.ClockStart, step,
                    started.WarmUpMs);
    }
    emscripten_set_main_loop_arg(&RenderStep, nullptr, 0, 0);
    return 1;
}

const char* Hand(std::string text) {
    State().Text = std::move(text);
    return State().Text.c_str();
}

}  // namespace
}  // namespace pp

using namespace pp;

extern "C" {

// Render mode, see StartRender.
EMSCRIPTEN_KEEPALIVE int pp_web_render(const char* args) {
    return StartRender(args != nullptr ? args : "");
}

// Render mode's preview controls. pp_web_render_control sets paused (0 or 1), the speed (0.25
// to 4) and loop (0 or 1), a negative value leaving that one as it is; pp_web_render_step
// draws the next frame (while paused); pp_web_render_scrub replays from the seed to a frame.
EMSCRIPTEN_KEEPALIVE void pp_web_render_control(int paused, double speed, int loop) {
    RenderRun* run = State().Render.get();
    if (run == nullptr) return;
    if (paused >= 0) run->Paused = paused != 0;
    if (speed >= 0.0) run->Speed = std::clamp(speed, 0.25, 4.0);
    if (loop >= 0) run->Loop = loop != 0;
}

EMSCRIPTEN_KEEPALIVE void pp_web_render_step() {
    RenderRun* run = State().Render.get();
    if (run != nullptr && run->Frame < run->Options.Frames) NextFrame(*run);
}

EMSCRIPTEN_KEEPALIVE void pp_web_render_scrub(int frame) {
    RenderRun* run = State().Render.get();
    if (run == nullptr) return;
    frame < run->Frame ? ReplayTo(std::max(frame, 0)) : MoveTo(*run, frame);
}

// Render mode's state: "FRAME FRAMES PARTICLES FRAME_MS" ("" outside render mode).
EMSCRIPTEN_KEEPALIVE const char* pp_web_render_state() {
    RenderRun* run = State().Render.get();
    if (run == nullptr) return Hand("");
    char text[96];
    std::snprintf(text, sizeof text, "%lld %lld %lld %.3f", static_cast<long long>(run->Frame),
                  static_cast<long long>(run->Options.Frames),
                  static_cast<long long>(run->World->ParticleCount()), run->FrameMs);
    return Hand(text);
}

// Play mode: `args` as play takes them (EFFECT[:SPRITE][@X,Y] ...); none plays the scene.
// Returns 1 when playing; 0 with the reason in the messages (what played before stops only
// when the new effects can start).
EMSCRIPTEN_KEEPALIVE int pp_web_play(const char* args) {
    const std::vector<std::string> words = SplitArgs(args);
    std::vector<std::string_view> views = {"--"};
    views.insert(views.end(), words.begin(), words.end());
    std::vector<PlayEffect> effects;
    std::vector<std::string> notes;
    if (const std::optional<std::string> error = ParsePlayArgs(views, effects, notes)) {
        Say("particleplayer play: " + *error);
        return 0;
    }
    return StartPlay(std::move(effects), notes) ? 1 : 0;
}

// The played effects, one line each: "EFFECT:SPRITE@X,Y" with the paths as opened.
EMSCRIPTEN_KEEPALIVE const char* pp_web_effects() {
    std::string lines;
    if (PlayRun* play = State().Play.get()) {
        PlaySession& session = *play->Session;
        for (std::size_t i = 0; i < session.Effects().size(); ++i) {
            const PlayEffect& e = session.Effects()[i];
            lines += particleplayer::EffectOpenPath(e.Effect) + ":" + SpriteOf(session, i) + "@" +
                     std::to_string(e.X) + "," + std::to_string(e.Y) + "\n";
        }
    }
    return Hand(std::move(lines));
}

// Looks at the played files as play does after a save: changed effects are applied again.
EMSCRIPTEN_KEEPALIVE void pp_web_poll() {
    if (PlayRun* play = State().Play.get())
        ReportReloads(*play->Session, play->Session->PollReload());
}

// What check finds in played effect `index`, one "FILE:LINE:COLUMN: message" line each.
EMSCRIPTEN_KEEPALIVE const char* pp_web_findings(int index) {
    std::string lines;
    PlayRun* play = State().Play.get();
    if (play != nullptr && index >= 0) {
        for (const std::string& line : play->Session->Findings(static_cast<std::size_t>(index))) {
            lines += line + "\n";
        }
    }
    return Hand(std::move(lines));
}

// Play's pause and restart: pp_web_pause pauses (1) or goes on (0) and says whether paused,
// pp_web_paused only says it, pp_web_restart starts every effect afresh.
EMSCRIPTEN_KEEPALIVE int pp_web_pause(int paused) {
    PlayRun* play = State().Play.get();
    if (play == nullptr) return 0;
    paused != 0 ? play->Session->Pause() : play->Session->Resume();
    return play->Session->Paused() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int pp_web_paused() {
    PlayRun* play = State().Play.get();
    return play != nullptr && play->Session->Paused() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void pp_web_restart() {
    if (PlayRun* play = State().Play.get()) play->Session->Restart();
}

// The editor's panel on the canvas #edit-panel edits played effect `index`'s file from here on.
// Returns 1 when it does; 0 (with the reason in the messages) when there is no such effect or
// the browser gives the panel no canvas.
EMSCRIPTEN_KEEPALIVE int pp_web_panel_open(int index) {
    PlayRun* play = State().Play.get();
    if (play == nullptr || index < 0 ||
        static_cast<std::size_t>(index) >= play->Session->Effects().size()) {
        return 0;
    }
    const PlayEffect& effect = play->Session->Effects()[static_cast<std::size_t>(index)];
    play->PanelSprite = SpriteOf(*play->Session, static_cast<std::size_t>(index));
    return OpenPanelFile(*play, particleplayer::EffectOpenPath(effect.Effect), effect.Folder) ? 1
                                                                                              : 0;
}

// The file the panel edits, as opened ("" for none).
EMSCRIPTEN_KEEPALIVE const char* pp_web_panel_file() {
    const PlayRun* play = State().Play.get();
    return Hand(play != nullptr ? play->PanelFile : "");
}

// The page's text box holds `text` now (after the page saved it): the panel shows it.
EMSCRIPTEN_KEEPALIVE void pp_web_panel_text(const char* text) {
    if (text != nullptr) SetPagePanelText(text);
}

// For the page's tests: where the panel's last frame put a widget, found by its id (the widget
// `label` of key `key`, under the number `index` when not negative), as "x y width height" in
// the panel canvas's pixels ("" when it drew no such widget), and how many frames it has drawn.
EMSCRIPTEN_KEEPALIVE const char* pp_web_panel_rect(const char* key, const char* label, int index) {
    return Hand(
        PagePanelWidgetRect(key != nullptr ? key : "", label != nullptr ? label : "", index));
}

EMSCRIPTEN_KEEPALIVE int pp_web_panel_frames() {
    return PagePanelFrames();
}

// The screen's last frame as PNG bytes (render's encoding): the size, then the bytes at
// pp_web_png_bytes. 0 without a screen.
EMSCRIPTEN_KEEPALIVE int pp_web_frame_png() {
    return FramePng() ? static_cast<int>(State().Png.size()) : 0;
}

EMSCRIPTEN_KEEPALIVE const uint8_t* pp_web_png_bytes() {
    return State().Png.data();
}

// The main-thread time of the latest frames: "median M, p95 P, max X over N frames".
EMSCRIPTEN_KEEPALIVE const char* pp_web_frame_times() {
    std::vector<double> times = State().FrameMs;
    if (times.empty()) return Hand("no frames");
    std::sort(times.begin(), times.end());
    char text[128];
    std::snprintf(text, sizeof text, "median %.2f, p95 %.2f, max %.2f over %zu frames",
                  times[times.size() / 2], times[times.size() * 95 / 100], times.back(),
                  times.size());
    return Hand(text);
}

// The messages said since the last call, one per line.
EMSCRIPTEN_KEEPALIVE const char* pp_web_take_messages() {
    std::string lines;
    lines.swap(State().Messages);
    return Hand(std::move(lines));
}

}  // extern "C"

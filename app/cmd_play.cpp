// particleplayer play: the live view for effect authors. The player's frame loop around a
// play session, plus what the bare player leaves out: a title with the particle count and
// frame rate, hot reload of the effects' files, and keys to pause, restart and take
// screenshots.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/budget_note.h"
#include "app/cli_args.h"
#include "app/commands.h"
#include "app/play_session.h"
#include "app/scene.h"
#include "particleplayer/clock.h"
#include "particleplayer/screen.h"

namespace pp {
namespace {

constexpr std::string_view kCommand = "play";

// Keys pressed since the loop last looked; filled by the window's key hook. Bounded so that a
// stuck loop cannot grow it without end.
std::vector<particleplayer::KeyboardKey>& PressedKeys() {
    static std::vector<particleplayer::KeyboardKey> keys;
    return keys;
}

void QueueKey(particleplayer::KeyboardKey key) {
    std::vector<particleplayer::KeyboardKey>& keys = PressedKeys();
    if (keys.size() < 64) keys.push_back(key);
}

void ShowTitle(PlaySession& session, double fps) {
    char title[128];
    std::snprintf(title, sizeof title, "particleplayer play: %d particles, %.1f fps%s",
                  static_cast<int>(session.LiveParticles()), fps,
                  session.Paused() ? " (paused)" : "");
    particleplayer::SetScreenTitle(title);
}

// check's lines, as `particleplayer check` prints them, so that a broken save is seen.
void ReportFindings(PlaySession& session) {
    for (std::size_t i = 0; i < session.Effects().size(); ++i) PrintFindings(session.Findings(i));
}

void ReportReloads(const PlaySession& session, const std::vector<PlayReload>& reloads) {
    for (const PlayReload& reload : reloads) {
        const PlayEffect& effect = session.Effects()[reload.Effect];
        if (reload.EffectFile && !reload.EffectKept.empty()) {
            std::fprintf(stderr,
                         "particleplayer play: cannot read %s (%s); the effect plays on "
                         "as it was\n",
                         effect.Effect.c_str(), reload.EffectKept.c_str());
        } else if (reload.EffectFile) {
            std::fprintf(stderr, "particleplayer play: applied %s again\n", effect.Effect.c_str());
            PrintFindings(reload.Findings);
        }
        if (reload.Sprite && !reload.SpriteKept.empty()) {
            std::fprintf(stderr,
                         "particleplayer play: cannot use sprite %s (%s); the old one "
                         "stays\n",
                         effect.Sprite.c_str(), reload.SpriteKept.c_str());
        } else if (reload.Sprite) {
            std::fprintf(stderr, "particleplayer play: loaded sprite %s again\n",
                         effect.Sprite.c_str());
        }
    }
}

void TakeScreenshot() {
    std::string error;
    std::error_code ignored;
    const std::filesystem::path here = std::filesystem::current_path(ignored);
    if (const auto path = SaveScreenshot(here, error)) {
        std::fprintf(stderr, "particleplayer play: saved screenshot %s\n", path->c_str());
    } else {
        std::fprintf(stderr, "particleplayer play: no screenshot: %s\n", error.c_str());
    }
}

// Acts on the keys pressed since the last pass; false when the user asked to quit.
bool HandleKeys(PlaySession& session, BudgetNote& budget) {
    std::vector<particleplayer::KeyboardKey> keys;
    keys.swap(PressedKeys());
    for (const particleplayer::KeyboardKey key : keys) {
        switch (key) {
            case particleplayer::KeyboardKey::Escape:
                return false;
            case particleplayer::KeyboardKey::Space:
                if (session.Paused()) {
                    session.Resume();
                } else {
                    session.Pause();
                }
                break;
            case particleplayer::KeyboardKey::R:
                session.Restart();
                ReportFindings(session);
                budget.Reset(session.GetWorld());
                break;
            case particleplayer::KeyboardKey::S:
                TakeScreenshot();
                break;
            default:
                break;
        }
    }
    return true;
}

// The player's loop, with keys and file polling after every wait and the title after every
// frame. Files and title go by the real clock, which runs on while the session's clock is
// paused.
void RunLoop(PlaySession& session, particleplayer::MillisecondClock& real) {
    uint32_t lastPoll = real.Now();
    uint32_t lastTitle = lastPoll;
    int64_t frames = 0;
    ShowTitle(session, 0.0);
    BudgetNote budget(kCommand);
    const auto afterWait = [&] {
        if (!HandleKeys(session, budget)) return false;
        const uint32_t now = real.Now();
        if (now - lastPoll >= kReloadPollMs) {
            const std::vector<PlayReload> reloads = session.PollReload();
            ReportReloads(session, reloads);
            if (!reloads.empty()) budget.Reset(session.GetWorld());
            lastPoll = now;
        }
        return true;
    };
    const auto frame = [&] {
        session.Frame();
        budget.Check(session.GetWorld());
        ++frames;
        if (const uint32_t elapsed = real.Now() - lastTitle; elapsed >= kTitleUpdateMs) {
            ShowTitle(session, static_cast<double>(frames) * 1000.0 / elapsed);
            lastTitle += elapsed;
            frames = 0;
        }
    };
    RunFrameLoop(afterWait, frame);
}

}  // namespace

int RunPlay(CommandArgs args) {
    std::vector<PlayEffect> effects;
    std::vector<std::string> notes;
    int64_t threads = 0;
    int64_t maxParticles = particleplayer::kDefaultMaxParticles;
    std::optional<particleplayer::CpuPath> cpu;
    if (const std::optional<std::string> error =
            ParsePlayArgs(args, effects, notes, &threads, &maxParticles, &cpu)) {
        return error->empty() ? 0 : UsageError(kCommand, *error);
    }
    if (const std::optional<std::string> error = ApplyCpuOption(cpu)) {
        return UsageError(kCommand, *error);
    }
    particleplayer::RealClock real;
    PlaySession session(real, std::move(effects));
    // 0 (no --threads) is one per hardware thread; the option allows no other count.
    session.GetWorld().SetThreads(static_cast<int32_t>(threads));
    session.GetWorld().SetMaxParticles(maxParticles);
    if (const std::optional<SceneProblem> problem = OpenPlayScreen(false)) {
        ReportWindowProblem("particleplayer play", *problem);
        StopScene();
        return 1;
    }
    for (const std::string& note : notes) {
        std::fprintf(stderr, "particleplayer play: %s\n", note.c_str());
    }
    session.Start();
    ReportFindings(session);
    particleplayer::SetKeyboardHook(&QueueKey);
    RunLoop(session, real);
    particleplayer::SetKeyboardHook(nullptr);
    StopScene();
    return 0;
}

}  // namespace pp

// A play session on SDL's offscreen driver, driven frame by frame on a virtual clock: edits to
// an effect file, to a file it extends and to its sprite are applied while the particles
// already alive live on; pausing stops time; restart starts over; screenshots; keys.
#include "app/play_session.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "app/png_writer.h"
#include "effects/check.h"
#include "image/image_decoders.h"
#include "platform/quad_sprites.h"
#include "platform/screen.h"
#include "platform/sprites.h"
#include "platform/window.h"
#include "tests/effects/temp_dir.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

using testing::InFolder;

// A width x height all-white RGB PNG.
std::vector<uint8_t> WhitePng(int32_t width, int32_t height) {
    const std::vector<uint8_t> bgr(static_cast<std::size_t>(width * height * 3), 0xFF);
    return EncodePngFromBgr(width, height, bgr).value();
}

std::vector<Particle> ParticlesOf(const Emitter* emitter) {
    std::vector<Particle> particles;
    auto& list = const_cast<Emitter*>(emitter)->Particles;
    ListRewind(list);
    while (const Particle* p = ListNext(list)) particles.push_back(*p);
    return particles;
}

bool SameParticle(const Particle& a, const Particle& b) {
    return std::memcmp(&a, &b, sizeof(Particle)) == 0;
}

// What kSlow and kFast set on a fresh emitter at (400, 300) that plays sprite 1.
EmitterParams LoadedAt400x300(float rate) {
    EmitterParams params = DefaultParamsAt(400, 300);
    params.EmissionRate = {rate, rate, 1.0f};
    params.LifeTime = {10.0f, 10.0f, 1.0f};
    params.Size = {20.0f, 20.0f, 1.0f};
    params.EmissionVelocity = {10.0f, 10.0f, 1.0f};
    params.Sprite = {1, 1, 1};
    return params;
}

class Play : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(OpenPlayScreen(kWindowHidden)) << SDL_GetError(); }
    void TearDown() override { StopScene(); }

    // An editor's save: truncate, then write. The modification time is moved on by a second
    // each time so that no two saves share a stamp, however coarse the file system's clock.
    void Save(const std::string& name, std::string_view bytes) {
        const std::string path = dir_.Write(name, bytes);
        fs::last_write_time(path,
                            fs::file_time_type::clock::now() + std::chrono::seconds(++saves_));
    }
    void SaveSprite(const std::string& name, int32_t width, int32_t height) {
        const std::vector<uint8_t> png = WhitePng(width, height);
        Save(name, std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
    }
    std::string PathOf(const std::string& name) const { return (dir_.Path() / name).string(); }

    // A session on one effect file and its sprite, at 400, 300, with a fixed seed.
    PlaySession& StartOne(const std::string& effect, const std::string& sprite) {
        session_.emplace(source_, std::vector<PlayEffect>{{effect, sprite, 400, 300}});
        SeedRandom(session_->GetEngine().Random, 7);
        session_->Start();
        return *session_;
    }

    void RunFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            source_.Advance(16);
            session_->Frame();
        }
    }

    pp::testing::TempDir dir_;
    int saves_ = 0;
    VirtualClock source_{1000};
    std::optional<PlaySession> session_;
};

constexpr char kSlow[] = "EmissionRate = 50, LifeTime = 10, Size = 20, EmissionVelocity = 10";
constexpr char kFast[] = "EmissionRate = 400, LifeTime = 10, Size = 20, EmissionVelocity = 10";

TEST_F(Play, ChangedRateReachesTheEmitterAndLiveParticlesLiveOn) {
    Save("fx.txt", kSlow);
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    RunFrames(30);
    Emitter* emitter = session.EmitterOf(0);
    ASSERT_NE(emitter, nullptr);
    const std::vector<Particle> before = ParticlesOf(emitter);
    ASSERT_GT(before.size(), 10u);
    const int32_t nextEmission = emitter->NextEmission;
    EXPECT_TRUE(session.PollReload().empty()) << "nothing changed yet";

    Save("fx.txt", kFast);
    const std::vector<PlayReload> reloads = session.PollReload();
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_TRUE(reloads[0].EffectFile);
    EXPECT_FALSE(reloads[0].Sprite);
    EXPECT_EQ(session.EmitterOf(0), emitter) << "the same emitter, not a new one";
    EXPECT_EQ(emitter->Params(), LoadedAt400x300(400.0f));
    EXPECT_EQ(emitter->NextEmission, nextEmission);
    const std::vector<Particle> after = ParticlesOf(emitter);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(SameParticle(after[i], before[i])) << "particle " << i;
    }
    EXPECT_TRUE(session.PollReload().empty()) << "one save, one reload";

    // The older particles are still the oldest; the new rate fills in behind them.
    RunFrames(10);
    const std::vector<Particle> later = ParticlesOf(emitter);
    ASSERT_GT(later.size(), before.size() + 40);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(later[i].DeathTime, before[i].DeathTime) << "particle " << i;
    }
}

TEST_F(Play, KeysDroppedFromTheFileGoBackToTheirCreationDefaults) {
    Save("fx.txt",
         "Size = 20, EmitterPosition = {10, 20}, EmitterArea = {Type = Circle, Width = 50}, "
         "Disable = 1, BlendingMode = {2, 2}, Fade = -10");
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    Emitter* emitter = session.EmitterOf(0);
    EXPECT_EQ(emitter->PositionX, 10.0f);
    EXPECT_EQ(emitter->AreaType, 4);
    EXPECT_EQ(emitter->Disable, 1);

    Save("fx.txt", "Fade = -10");
    ASSERT_EQ(session.PollReload().size(), 1u);
    EmitterParams expected = DefaultParamsAt(400, 300);
    expected.Fade = -10.0f;
    expected.Sprite = {1, 1, 1};
    EXPECT_EQ(emitter->Params(), expected);
}

TEST_F(Play, ChangedExtendedFileIsAppliedAndTheChainFollowsItsEdits) {
    InFolder here(dir_.Path());
    fs::create_directory("Base");
    Save("Base/Glut.txt", "EmissionRate = 30, Size = 12");
    Save("Top.txt", "Extends = Base\\Glut.txt, Size = 40");
    Save("Other.txt", "EmissionRate = 5");
    SaveSprite("Top.png", 2, 2);
    PlaySession& session = StartOne("Top.txt", "Top.png");
    Emitter* emitter = session.EmitterOf(0);
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{30.0f, 30.0f, 1.0f}));
    EXPECT_EQ(session.WatchedFiles(0), (std::vector<std::string>{"Top.txt", "Base/Glut.txt"}));
    RunFrames(20);
    const std::size_t alive = emitter->Particles.Count();
    ASSERT_GT(alive, 0u);

    Save("Base/Glut.txt", "EmissionRate = 90, Size = 12");
    ASSERT_EQ(session.PollReload().size(), 1u);
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{90.0f, 90.0f, 1.0f}));
    // The including file still wins.
    EXPECT_EQ(emitter->Size, (ValueSpec{40.0f, 40.0f, 1.0f}));
    EXPECT_EQ(static_cast<std::size_t>(emitter->Particles.Count()), alive);

    // Pointing Top at another file moves the watch with it.
    Save("Top.txt", "Extends = Other.txt, Size = 40");
    ASSERT_EQ(session.PollReload().size(), 1u);
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{5.0f, 5.0f, 1.0f}));
    EXPECT_EQ(session.WatchedFiles(0), (std::vector<std::string>{"Top.txt", "Other.txt"}));
    Save("Base/Glut.txt", "EmissionRate = 91");
    EXPECT_TRUE(session.PollReload().empty());
    Save("Other.txt", "EmissionRate = 6");
    ASSERT_EQ(session.PollReload().size(), 1u);
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{6.0f, 6.0f, 1.0f}));
}

TEST_F(Play, ChangedSpriteIsLoadedAgainAndAHalfWrittenOneBreaksNothing) {
    Save("fx.txt", kSlow);
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    RunFrames(5);
    ASSERT_NE(LookupSprite(1), nullptr);
    EXPECT_EQ(LookupSprite(1)->Width, 2);

    SaveSprite("fx.png", 4, 3);
    std::vector<PlayReload> reloads = session.PollReload();
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_TRUE(reloads[0].Sprite);
    EXPECT_FALSE(reloads[0].EffectFile);
    ASSERT_NE(LookupSprite(1), nullptr);
    EXPECT_EQ(LookupSprite(1)->Width, 4);
    EXPECT_EQ(LookupSprite(1)->Height, 3);

    // Caught between the truncation and the write, or not a picture at all: the old sprite
    // stays, and the reload says why.
    const std::vector<uint8_t> whole = WhitePng(5, 5);
    for (const std::string& bad :
         {std::string(), std::string(reinterpret_cast<const char*>(whole.data()), 40),
          std::string("EmissionRate = 5"), std::string("\x01\x9c\xff\x00\x42", 5)}) {
        Save("fx.png", bad);
        reloads = session.PollReload();
        ASSERT_EQ(reloads.size(), 1u);
        EXPECT_TRUE(reloads[0].Sprite);
        EXPECT_NE(reloads[0].SpriteKept, "") << bad.size();
        ASSERT_NE(LookupSprite(1), nullptr);
        EXPECT_EQ(LookupSprite(1)->Width, 4);
        RunFrames(3);
    }

    SaveSprite("fx.png", 5, 5);
    ASSERT_EQ(session.PollReload().size(), 1u);
    ASSERT_NE(LookupSprite(1), nullptr);
    EXPECT_EQ(LookupSprite(1)->Width, 5);
    RunFrames(3);
}

TEST_F(Play, HalfSavedOrVanishedEffectFileBreaksNothingAndTheNextSaveFixesIt) {
    Save("fx.txt", kSlow);
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    RunFrames(10);
    Emitter* emitter = session.EmitterOf(0);
    const std::size_t alive = static_cast<std::size_t>(emitter->Particles.Count());

    for (const char* partial : {"", "EmissionRate = 400, LifeTime = {Min = 1", "Emiss"}) {
        Save("fx.txt", partial);
        ASSERT_EQ(session.PollReload().size(), 1u) << partial;
        RunFrames(2);
    }
    // A vanished file keeps the emitter as the last save left it, not at the defaults.
    Save("fx.txt", kFast);
    ASSERT_EQ(session.PollReload().size(), 1u);
    fs::remove(PathOf("fx.txt"));
    const std::vector<PlayReload> gone = session.PollReload();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_NE(gone[0].EffectKept, "");
    EXPECT_TRUE(gone[0].Findings.empty());
    EXPECT_EQ(emitter->Params(), LoadedAt400x300(400.0f));
    RunFrames(2);
    EXPECT_GE(static_cast<std::size_t>(emitter->Particles.Count()), alive);

    Save("fx.txt", kFast);
    ASSERT_EQ(session.PollReload().size(), 1u);
    EXPECT_EQ(emitter->Params(), LoadedAt400x300(400.0f));
}

// Each load tells what check finds in the effect's files, in check's own lines.
TEST_F(Play, EveryLoadReportsWhatCheckFinds) {
    Save("base.txt", "Size = {Value = 60}");
    Save("fx.txt", "Extends = " + PathOf("base.txt") + ",\nEmissionRate = 50");
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    const auto checked = [&] {
        std::vector<std::string> lines;
        const std::string paths[] = {PathOf("fx.txt")};
        for (const CheckFinding& f : CheckEffectFiles(paths)) lines.push_back(FormatFinding(f));
        return lines;
    };
    ASSERT_FALSE(checked().empty());
    EXPECT_EQ(session.Findings(0), checked());

    for (const char* text : {"EmissionRate = 50\nSize = 8", "emissionrate = 5", "Size = 8"}) {
        Save("fx.txt", text);
        const std::vector<PlayReload> reloads = session.PollReload();
        ASSERT_EQ(reloads.size(), 1u);
        EXPECT_EQ(reloads[0].EffectKept, "");
        EXPECT_EQ(reloads[0].Findings, checked()) << text;
    }
    EXPECT_TRUE(session.Findings(0).empty());
}

TEST_F(Play, PauseFreezesEverythingAndResumingEmitsNoBurst) {
    Save("fx.txt", "EmissionRate = 100, LifeTime = 100, EmissionVelocity = 50");
    SaveSprite("fx.png", 2, 2);
    PlaySession& session = StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    RunFrames(20);
    Emitter* emitter = session.EmitterOf(0);
    const std::vector<Particle> before = ParticlesOf(emitter);
    const uint32_t frozenAt = session.Clock().Now();

    session.Pause();
    // A save while paused is applied at once; the frozen particles stay as they are.
    Save("fx.txt", "EmissionRate = 100, LifeTime = 100, EmissionVelocity = 50, Fade = -1");
    ASSERT_EQ(session.PollReload().size(), 1u);
    EXPECT_EQ(emitter->Fade, -1.0f);
    RunFrames(300);  // almost five seconds of drawing the same frame
    EXPECT_TRUE(session.Paused());
    EXPECT_EQ(session.Clock().Now(), frozenAt);
    const std::vector<Particle> paused = ParticlesOf(emitter);
    ASSERT_EQ(paused.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(SameParticle(paused[i], before[i])) << "particle " << i;
    }

    // One 16 ms frame after resuming: at 100 per second one or two new particles, not the
    // second's backlog that five seconds of wall time would allow.
    session.Resume();
    RunFrames(1);
    EXPECT_EQ(session.Clock().Now(), frozenAt + 16);
    const std::vector<Particle> resumed = ParticlesOf(emitter);
    EXPECT_LE(resumed.size(), before.size() + 2);
    EXPECT_GE(resumed.size(), before.size());
    // The oldest particle moved by one frame's worth at 50 px/s, under a pixel.
    EXPECT_LT(std::abs(resumed[0].X - before[0].X) + std::abs(resumed[0].Y - before[0].Y), 2.0f);
}

TEST_F(Play, RestartRecreatesEveryEmitterAndParticleAndPlaysOn) {
    Save("a.txt", kSlow);
    Save("b.txt", "EmissionRate = 20, LifeTime = 10");
    SaveSprite("a.png", 2, 2);
    SaveSprite("b.png", 3, 3);
    session_.emplace(source_,
                     std::vector<PlayEffect>{{PathOf("a.txt"), PathOf("a.png"), 100, 100},
                                             {PathOf("b.txt"), PathOf("b.png"), 700, 500}});
    SeedRandom(session_->GetEngine().Random, 7);
    session_->Start();
    RunFrames(20);
    ASSERT_GT(session_->LiveParticles(), 0);
    session_->Pause();

    session_->Restart();
    EXPECT_FALSE(session_->Paused());
    EXPECT_EQ(session_->LiveParticles(), 0);
    EXPECT_EQ(session_->GetEngine().Emitters.Count(), 2);
    EXPECT_EQ(session_->EmitterOf(1)->EmissionRate, (ValueSpec{20.0f, 20.0f, 1.0f}));
    EXPECT_EQ(session_->EmitterOf(1)->Sprite.Min, 2);
    EXPECT_EQ(session_->EmitterOf(1)->PositionX, 700.0f);
    ASSERT_NE(LookupSprite(2), nullptr);
    EXPECT_EQ(LookupSprite(2)->Width, 3);
    RunFrames(10);
    EXPECT_GT(session_->EmitterOf(0)->Particles.Count(), 0);
    EXPECT_GT(session_->EmitterOf(1)->Particles.Count(), 0);

    // The restarted session still watches its files.
    Save("b.txt", "EmissionRate = 21");
    const std::vector<PlayReload> reloads = session_->PollReload();
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_EQ(reloads[0].Effect, 1u);
    EXPECT_EQ(session_->EmitterOf(1)->EmissionRate, (ValueSpec{21.0f, 21.0f, 1.0f}));
}

TEST_F(Play, ScreenshotsGetDistinctNamesAndHoldTheFrame) {
    Save("fx.txt", kSlow);
    SaveSprite("fx.png", 2, 2);
    StartOne(PathOf("fx.txt"), PathOf("fx.png"));
    RunFrames(5);
    std::string error;
    const std::optional<fs::path> first = SaveScreenshot(dir_.Path(), error);
    const std::optional<fs::path> second = SaveScreenshot(dir_.Path(), error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_NE(*first, *second);
    const std::regex name(R"(particleplayer-\d{8}-\d{6}(-\d+)?\.png)");
    for (const fs::path& path : {*first, *second}) {
        EXPECT_EQ(path.parent_path(), dir_.Path());
        EXPECT_TRUE(std::regex_match(path.filename().string(), name)) << path;
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        const std::optional<DecodedImage> image = DecodeImageWith(PngDecoder(), bytes, 0);
        ASSERT_TRUE(image) << path;
        EXPECT_EQ(image->Width, 800);
        EXPECT_EQ(image->Height, 600);
    }
}

TEST_F(Play, ScreenshotIntoAFolderThatCannotBeWrittenSaysWhy) {
    std::string error;
    EXPECT_FALSE(SaveScreenshot(dir_.Path() / "no" / "such" / "folder", error));
    EXPECT_FALSE(error.empty());
}

std::vector<int32_t>& HookedKeys() {
    static std::vector<int32_t> keys;
    return keys;
}

TEST_F(Play, KeyPressesReachTheHookWhileWaitEventStillReportsTheEventType) {
    HookedKeys().clear();
    SetKeyPressHook([](int32_t key) { HookedKeys().push_back(key); });
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(WindowHandle(0));
    e.key.keysym.sym = SDLK_r;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.key.repeat = 1;  // a held key's repeat is no new press
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.key.repeat = 0;
    e.key.keysym.sym = SDLK_SPACE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    int32_t keyEvents = 0;
    while (int32_t event = WaitEvent(0)) {
        if (event == SDL_KEYDOWN) ++keyEvents;
    }
    SetKeyPressHook(nullptr);
    EXPECT_EQ(keyEvents, 3);
    EXPECT_EQ(HookedKeys(), (std::vector<int32_t>{kKeyR, kKeySpace}));
}

TEST_F(Play, WindowTitleCanBeSet) {
    SetWindowTitle(0, "particleplayer play: 12 particles, 60.0 fps");
    EXPECT_STREQ(SDL_GetWindowTitle(WindowHandle(0)),
                 "particleplayer play: 12 particles, 60.0 fps");
    SetWindowTitle(7, "no such window");  // does nothing
}

}  // namespace
}  // namespace pp

// play: its arguments, and a session on SDL's offscreen driver and a virtual clock where edits to
// an effect, its chain or its sprite reach live particles, and pausing stops everything.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/hot_reload.h"
#include "app/play_session.h"
#include "app/png_writer.h"
#include "draw/gl_screen.h"
#include "draw/sprites.h"
#include "lib/world_access.h"
#include "platform/window.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;
using testing::InFolder;

std::string WhitePng(int32_t width, int32_t height) {
    const std::vector<uint8_t> bgr(static_cast<std::size_t>(width * height * 3), 0xFF);
    const std::vector<uint8_t> png = EncodePngFromBgr(width, height, bgr).value();
    return std::string(png.begin(), png.end());
}

std::string Describe(const std::vector<PlayEffect>& effects) {
    std::string out;
    for (const PlayEffect& e : effects)
        out += e.Effect + ":" + e.Sprite + "@" + std::to_string(e.X) + "," + std::to_string(e.Y) +
               (e.VX || e.VY ? "+" + std::to_string(e.VX) + "," + std::to_string(e.VY) : "") + " ";
    return out;
}

TEST(PlayArgs, GivesEffectsWithSpritesAndPositionsOrSaysWhatIsWrong) {
    testing::TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "lone.txt", "-d.txt", "at@h.txt", "junk.txt"})
        dir.Write(name, "Size = 8");
    for (const char* name : {"a.png", "b.png"}) dir.Write(name, WhitePng(1, 1));
    dir.Write("junk.png", "GIF89a");
    fs::create_directory(dir.Path() / "dir");
    dir.Write("dir/own.txt", "SpriteFile = none.png");
    InFolder here(dir.Path());
    const struct {
        std::vector<std::string_view> Args;
        std::string Result;  // the effects, or a part of the error
    } rows[] = {
        {{"a.txt", "b.txt@1,2", "a.txt"},
         "a.txt:a.png@266,300 b.txt:b.png@1,2 a.txt:a.png@533,300 "},
        {{"at@h.txt:b.png"}, "at@h.txt:b.png@400,300 "},  // '@' not before a position
        // An effect with an image of its own takes no default sprite, but a given one.
        {{"dir/own.txt", "dir/own.txt:a.png"}, "dir/own.txt:@266,300 dir/own.txt:a.png@533,300 "},
        {{"--", "-d.txt:a.png"}, "-d.txt:a.png@400,300 "},
        {{"missing.txt"}, "cannot read the effect file 'missing.txt': no such file"},
        {{"a.txt:dir"}, "cannot read the sprite 'dir': not a regular file"},
        {{":a.png"}, "':a.png' needs a path on both sides of ':'"},
        {{"@1,2"}, "'@1,2' names no effect file"},
        {{"a.txt@2147483648,0"}, "'@2147483648,0' in 'a.txt@2147483648,0' is not a position"},
        {{"a.txt@1,2+-30,1000000"}, "a.txt:a.png@1,2+-30,1000000 "},
        {{"a.txt@1,2+1000001,0"}, "'+1000001,0' in 'a.txt@1,2+1000001,0' is not a velocity"},
        {{"junk.txt"}, "cannot use the sprite 'junk.png': not a PNG or BMP image"},
        {{"a.txt", "--frames"}, "unknown option '--frames'"},
        {std::vector<std::string_view>(kMaxPlayEffects + 1, "a.txt"), "at most 64 effects"},
    };
    std::vector<PlayEffect> effects;
    std::vector<std::string> notes;
    for (const auto& row : rows) {
        const std::string result =
            ParsePlayArgs(row.Args, effects, notes).value_or(Describe(effects));
        EXPECT_EQ(result.rfind(row.Result, 0), 0u) << result;
    }
    EXPECT_TRUE(notes.empty());
    // No arguments: the scene and a note on the data this folder lacks; a missing sprite is a
    // note too, as it may appear later.
    ASSERT_EQ(ParsePlayArgs({}, effects, notes), std::nullopt);
    EXPECT_EQ(Describe(effects),
              "Data\\Sternchen.txt:Data\\Sternchen.png@100,200 Data\\Feuer.txt:Data\\Feuer.png@600,"
              "500 Data\\Energie.txt:Data\\Energie.png@200,400 Data\\Luftblase.txt:Data\\"
              "Luftblase.png@600,300 ");
    EXPECT_TRUE(notes.size() == 1 &&
                notes[0].find("8 of the scene's 8 data files") != std::string::npos);
    ASSERT_EQ(ParsePlayArgs(std::vector<std::string_view>{"lone.txt"}, effects, notes),
              std::nullopt);
    EXPECT_TRUE(notes.size() == 1 && notes[0].starts_with("no sprite lone.png beside lone.txt"));
}

// Sprite `number`'s size as width * 10 + height, or -1 when none is loaded under it.
int SpriteSize(int32_t number) {
    const auto* sprite = LookupSprite(number);
    return sprite == nullptr ? -1 : sprite->Width * 10 + sprite->Height;
}

// The engine's record of played effect index, to see what the public records leave out.
Emitter* EmitterOf(PlaySession& session, std::size_t index) {
    return particleplayer::WorldAccess::EmitterOf(session.GetWorld(), session.EffectOf(index));
}

// An emitter's particles as bytes, to compare whole records.
std::string ParticleBytes(Emitter* emitter) {
    std::string bytes;
    ListRewind(emitter->Particles);
    while (const Particle* p = ListNext(emitter->Particles))
        bytes.append(reinterpret_cast<const char*>(p), sizeof *p);
    return bytes;
}

// A session in a fresh working folder on the offscreen driver and a virtual clock.
class Play : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);  // set here, the tests keep their label
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        ASSERT_FALSE(OpenPlayScreen(true)) << SDL_GetError();
    }
    void TearDown() override { StopScene(); }

    // An editor's save, a second after the last so that no two share a stamp.
    void Save(const std::string& name, std::string_view bytes) {
        fs::last_write_time(dir_.Write(name, bytes),
                            fs::file_time_type::clock::now() + std::chrono::seconds(++saves_));
    }
    // NAME.txt with `text` and a white square NAME.png of `size` pixels.
    PlayEffect Effect(const std::string& name, std::string_view text, int32_t size, int32_t x = 400,
                      int32_t y = 300) {
        Save(name + ".txt", text);
        Save(name + ".png", WhitePng(size, size));
        return {name + ".txt", name + ".png", x, y, true, ""};
    }
    PlayReload Reload(const std::string& name, std::string_view bytes) {
        Save(name, bytes);
        const std::vector<PlayReload> reloads = session_->PollReload();
        EXPECT_EQ(reloads.size(), 1u) << name << ": " << bytes;
        return reloads.empty() ? PlayReload{} : reloads[0];
    }
    PlaySession& Start(std::vector<PlayEffect> effects) {
        session_.emplace(source_, std::move(effects));
        session_->GetWorld().Seed(7);
        session_->Start();
        return *session_;
    }
    void RunFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            source_.Advance(16);
            session_->Frame();
        }
    }

    testing::TempDir dir_;
    InFolder here_{dir_.Path()};
    int saves_ = 0;
    VirtualClock source_{UINT32_MAX - 100};  // sessions cross the clock's wrap
    std::optional<PlaySession> session_;
};

// Edits reach the same emitter and its live particles; half-saved texts and sprites keep the
// last good ones; keys dropped from the file go back to their defaults.
TEST_F(Play, EditsReachTheSameEmitterAndBadSavesKeepTheLastGoodOne) {
    const std::string fast = "EmissionRate = 400, LifeTime = 10, Size = 20, EmissionVelocity = 10";
    PlaySession& session = Start(
        {Effect("fx", "EmissionRate = 50, LifeTime = 10, Size = 20, EmissionVelocity = 10", 2)});
    RunFrames(30);
    Emitter* emitter = EmitterOf(session, 0);
    const std::string before = ParticleBytes(emitter);
    const int32_t nextEmission = emitter->NextEmission, count = emitter->Particles.Count();
    EXPECT_TRUE(session.PollReload().empty() && count > 10);
    const PlayReload reload = Reload("fx.txt", fast);
    EXPECT_TRUE(reload.EffectFile && !reload.Sprite && EmitterOf(session, 0) == emitter);
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{400, 400, 1}));
    EXPECT_TRUE(emitter->NextEmission == nextEmission && ParticleBytes(emitter) == before);
    EXPECT_TRUE(session.PollReload().empty());
    RunFrames(10);
    EXPECT_GT(emitter->Particles.Count(), count + 40);
    for (const char* partial : {"", "EmissionRate = 400, LifeTime = {Min = 1", "Emiss"}) {
        Reload("fx.txt", partial);
        RunFrames(2);
    }
    Reload("fx.txt", fast);
    fs::remove("fx.txt");
    const std::vector<PlayReload> gone = session.PollReload();
    EXPECT_TRUE(gone.size() == 1 && !gone[0].EffectKept.empty());
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{400, 400, 1}));
    Reload("fx.txt", "Fade = -10");
    EmitterParams expected = DefaultParamsAt(400, 300);
    expected.Fade = -10.0f;
    expected.Sprite = {1, 1, 1};
    EXPECT_EQ(emitter->Params(), expected);
    EXPECT_TRUE(Reload("fx.png", WhitePng(4, 3)).Sprite);
    for (const std::string& bad : {std::string(), WhitePng(5, 5).substr(0, 40)}) {
        EXPECT_NE(Reload("fx.png", bad).SpriteKept, "") << bad.size();
        EXPECT_EQ(SpriteSize(1), 43);
        RunFrames(3);
    }
}

// An effect given no sprite draws with its own image, loaded under the world's number at the
// first draw; saving the image loads it again, a broken save keeps it, and an edit naming
// another image watches that one.
TEST_F(Play, AnEffectsOwnImageDrawsAndReloads) {
    fs::create_directory(dir_.Path() / "fx");
    Save("fx/spark.png", WhitePng(2, 2));
    Save("fx/own.txt", "SpriteFile = spark.png, Size = 4");
    PlaySession& session = Start({PlayEffect{"fx/own.txt", "", 400, 300, false, "fx"}});
    RunFrames(2);
    EXPECT_EQ(std::pair(SpriteSize(1000), SpriteSize(1)), std::pair(22, -1)) << "a default sprite";
    EXPECT_TRUE(Reload("fx/spark.png", WhitePng(5, 3)).Sprite);
    EXPECT_EQ(SpriteSize(1000), 53);
    EXPECT_NE(Reload("fx/spark.png", "no image").SpriteKept, "");
    EXPECT_EQ(SpriteSize(1000), 53);
    Save("fx/other.png", WhitePng(7, 1));
    EXPECT_TRUE(Reload("fx/own.txt", "SpriteFile = other.png").EffectFile);
    RunFrames(1);
    EXPECT_EQ(session.GetWorld().Params(session.EffectOf(0)).Value.Sprite.Min, 1001);
    EXPECT_TRUE(Reload("fx/other.png", WhitePng(6, 1)).Sprite);
    EXPECT_EQ(SpriteSize(1001), 61);
}

// The including file wins; the watch follows the Extends chain and started effects' files (once
// each, a missing one left out); a load reports check's findings.
TEST_F(Play, AnEditedExtendedFileAppliesAndTheWatchFollowsTheChain) {
    fs::create_directory("Base");
    Save("Base/Glut.txt", "EmissionRate = 30, Size = 12");
    Save("Other.txt", "EmissionRate = 5");
    Save("Spark.txt",
         "Extends = Other.txt, OnDeath = {Effect = Spark.txt}, OnBirth = {Effect = a}");
    PlaySession& session = Start(
        {Effect("Top", "Extends = Base\\Glut.txt, Size = 40, OnDeath = {Effect = Spark.txt}", 2)});
    Emitter* emitter = EmitterOf(session, 0);
    EXPECT_EQ(session.WatchedFiles(0),
              (std::vector<std::string>{"Top.txt", "Base/Glut.txt", "Spark.txt", "Other.txt"}));
    Reload("Base/Glut.txt", "EmissionRate = 90, Size = 12");
    EXPECT_TRUE(emitter->EmissionRate == (ValueSpec{90, 90, 1}) &&
                emitter->Size == (ValueSpec{40, 40, 1}));
    Reload("Top.txt", "Extends = Other.txt, Size = 40");
    EXPECT_EQ(session.WatchedFiles(0), (std::vector<std::string>{"Top.txt", "Other.txt"}));
    Save("Base/Glut.txt", "EmissionRate = 91");
    EXPECT_TRUE(session.PollReload().empty());
    Reload("Other.txt", "EmissionRate = 6");
    EXPECT_EQ(emitter->EmissionRate, (ValueSpec{6, 6, 1}));
    const std::vector<std::string> findings = Reload("Top.txt", "emissionrate = 5").Findings;
    EXPECT_TRUE(!findings.empty() && findings == session.Findings(0));
}

// Paused, nothing moves; resuming adds one frame, not the backlog; a restart (even paused)
// runs again with every emitter and sprite anew.
TEST_F(Play, PauseFreezesEverythingAndRestartRecreatesEveryEmitter) {
    PlaySession& session = Start(
        {Effect("fx", "EmissionRate = 100, LifeTime = 100, EmissionVelocity = 50", 2),
         Effect("b", "EmissionRate = 20, LifeTime = 10, OnBirth = {Effect = fx.txt, Count = 1}", 3,
                700, 500)});
    RunFrames(20);
    Emitter* emitter = EmitterOf(session, 0);
    const std::string before = ParticleBytes(emitter);
    const int32_t count = emitter->Particles.Count();
    // The copies of fx that b's births start are not the played effects' own particles.
    EXPECT_EQ(session.LiveParticles(), count + EmitterOf(session, 1)->Particles.Count());
    EXPECT_GT(session.GetWorld().ParticleCount(), session.LiveParticles());
    const uint32_t frozenAt = session.Clock().Now();
    for (int i = 0; i < 2; ++i) session.Pause();
    RunFrames(60);
    EXPECT_TRUE(session.Clock().Now() == frozenAt && ParticleBytes(emitter) == before);
    for (int i = 0; i < 2; ++i) session.Resume();
    RunFrames(1);
    EXPECT_EQ(session.Clock().Now(), frozenAt + 16);
    EXPECT_LE(emitter->Particles.Count(), count + 2);
    session.Pause();
    session.Restart();
    EXPECT_TRUE(!session.Paused() && session.GetWorld().ParticleCount() == 0);
    EXPECT_EQ(std::tuple(session.GetWorld().Effects().size(), EmitterOf(session, 1)->PositionX,
                         SpriteSize(2)),
              std::tuple(2u, 700.0f, 33));
    EXPECT_EQ(Reload("b.txt", "EmissionRate = 21").Effect, 1u);
    EXPECT_EQ(EmitterOf(session, 1)->EmissionRate, (ValueSpec{21, 21, 1}));
}

}  // namespace
}  // namespace pp

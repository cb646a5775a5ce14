// Noticing file edits by their stamps, the files an effect reads through its Extends chain,
// and the clock that stops while play is paused. No display needed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/hot_reload.h"
#include "app/play_session.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

namespace fs = std::filesystem;

using testing::InFolder;

// Puts the file's modification time back to what it was, as `touch -r` or an archive tool
// would, so that only the other parts of the stamp can tell the change.
void RestoreModifiedTime(const fs::path& path, fs::file_time_type time) {
    fs::last_write_time(path, time);
}

class FileWatchTest : public ::testing::Test {
  protected:
    pp::testing::TempDir dir_;
    FileWatch watch_;
};

TEST_F(FileWatchTest, EachKindOfEditIsReportedOnce) {
    const std::string path = dir_.Write("a.txt", "Size = 1");
    const fs::path absent = dir_.Path() / "later.txt";
    watch_.Watch({path, absent.string()});

    // Same size and the old modification time: the status change time still moves.
    const fs::file_time_type before = fs::last_write_time(path);
    usleep(20000);
    dir_.Write("a.txt", "Size = 2");
    RestoreModifiedTime(path, before);
    EXPECT_TRUE(watch_.Changed());
    EXPECT_FALSE(watch_.Changed());

    // A longer text.
    dir_.Write("a.txt", "Size = 20");
    EXPECT_TRUE(watch_.Changed());
    EXPECT_FALSE(watch_.Changed());

    // An editor's save: a new file renamed over the old one.
    const std::string fresh = dir_.Write("a.txt.new", "Size = 30");
    fs::rename(fresh, path);
    EXPECT_TRUE(watch_.Changed());

    // Appearing and vanishing.
    dir_.Write("later.txt", "");
    EXPECT_TRUE(watch_.Changed());
    fs::remove(absent);
    EXPECT_TRUE(watch_.Changed());
    EXPECT_FALSE(watch_.Changed());
}

TEST_F(FileWatchTest, WatchReplacesTheSetAndStampsNow) {
    const std::string a = dir_.Write("a.txt", "1");
    const std::string b = dir_.Write("b.txt", "1");
    watch_.Watch({a});
    dir_.Write("a.txt", "22");
    watch_.Watch({a, b});
    EXPECT_FALSE(watch_.Changed()) << "an edit before Watch is part of the new stamps";
    EXPECT_EQ(watch_.Paths(), (std::vector<std::string>{a, b}));
}

class EffectChain : public ::testing::Test {
  protected:
    pp::testing::TempDir dir_;
    InFolder here_{dir_.Path()};
};

TEST_F(EffectChain, FollowsExtendsAsTheLoaderDoes) {
    fs::create_directories(dir_.Path() / "Base");
    dir_.Write("Top.txt", "Extends = Base\\Middle.txt, Size = 4");
    dir_.Write("Base/Middle.txt", "Extends = Base\\Root.txt");
    dir_.Write("Base/Root.txt", "Size = 1");
    EXPECT_EQ(EffectFileChain("Top.txt"),
              (std::vector<std::string>{"Top.txt", "Base/Middle.txt", "Base/Root.txt"}));
}

TEST_F(EffectChain, KeepsAMissingFileSoThatItsAppearingCounts) {
    dir_.Write("Top.txt", "Extends = Later.txt");
    EXPECT_EQ(EffectFileChain("Top.txt"), (std::vector<std::string>{"Top.txt", "Later.txt"}));
    EXPECT_EQ(EffectFileChain("Gone.txt"), (std::vector<std::string>{"Gone.txt"}));
}

TEST_F(EffectChain, EndsAtARepeatedFileAndAtTheDepthLimit) {
    dir_.Write("A.txt", "Extends = B.txt");
    dir_.Write("B.txt", "Extends = A.txt");
    EXPECT_EQ(EffectFileChain("A.txt"), (std::vector<std::string>{"A.txt", "B.txt"}));
    dir_.Write("Self.txt", "Extends = Self.txt");
    EXPECT_EQ(EffectFileChain("Self.txt"), (std::vector<std::string>{"Self.txt"}));

    for (int i = 0; i < 100; ++i) {
        dir_.Write("n" + std::to_string(i) + ".txt",
                   "Extends = n" + std::to_string(i + 1) + ".txt");
    }
    const std::vector<std::string> chain = EffectFileChain("n0.txt");
    EXPECT_EQ(chain.size(), static_cast<std::size_t>(kMaxExtendsDepth));
    EXPECT_EQ(chain.back(), "n" + std::to_string(kMaxExtendsDepth - 1) + ".txt");
}

TEST_F(EffectChain, EndsWhereTheLoadersBytesForOneEffectAreSpent) {
    // Files of the largest size the reader takes: the budget holds that many of them.
    const std::size_t fit = kMaxEffectChainBytes / kMaxEffectFileBytes;
    for (std::size_t i = 0; i <= fit; ++i) {
        std::string text = "Extends = b" + std::to_string(i + 1) + ".txt,";
        text.resize(kMaxEffectFileBytes, ' ');
        dir_.Write("b" + std::to_string(i) + ".txt", text);
    }
    const std::vector<std::string> chain = EffectFileChain("b0.txt");
    EXPECT_EQ(chain.size(), fit);
    EXPECT_EQ(chain.back(), "b" + std::to_string(fit - 1) + ".txt");
}

TEST(PausableClock, StandsStillWhilePausedAndGoesOnFromThereAfterwards) {
    VirtualClock source(5000);
    PausableClock clock(source);
    EXPECT_EQ(clock.Now(), 5000u);
    source.Advance(100);
    clock.Pause();
    clock.Pause();  // a second pause changes nothing
    EXPECT_TRUE(clock.Paused());
    source.Advance(60000);
    EXPECT_EQ(clock.Now(), 5100u);
    clock.Resume();
    EXPECT_FALSE(clock.Paused());
    EXPECT_EQ(clock.Now(), 5100u);
    source.Advance(16);
    EXPECT_EQ(clock.Now(), 5116u);
    clock.Resume();  // resuming while running changes nothing
    EXPECT_EQ(clock.Now(), 5116u);
}

TEST(PausableClock, PausesAcrossTheSourcesWrap) {
    VirtualClock source(UINT32_MAX - 10);
    PausableClock clock(source);
    clock.Pause();
    source.Advance(1000);  // the source wraps while paused
    clock.Resume();
    EXPECT_EQ(clock.Now(), UINT32_MAX - 10);
    source.Advance(20);
    EXPECT_EQ(clock.Now(), 9u);
}

}  // namespace
}  // namespace pp

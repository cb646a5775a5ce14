// Effect files as they come from forums and half-saved editors: very long lines, huge files,
// deep or unbalanced braces, NUL bytes, byte-order marks, endless Extends chains, files that
// are not files. Each loads without crashing, within a second, with the outcome given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "particles/particles.h"
#include "runtime/clock.h"
#include "tests/effects/temp_dir.h"

namespace pp {
namespace {

using testing::TempDir;

constexpr float kInf = std::numeric_limits<float>::infinity();

// Measured in this thread's processor time, so that other work on a shared machine does not
// count; a second in optimised builds, while sanitizers and -O0 slow the work down many times.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr double kTimeLimitSeconds = 1.0;
#else
constexpr double kTimeLimitSeconds = 20.0;
#endif

struct HostileFile {
    const char* name;
    // Writes the files into dir and returns the path to load.
    std::function<std::string(const TempDir& dir)> write;
    std::function<void(const Emitter& e)> expect;
};

void PrintTo(const HostileFile& row, std::ostream* os) {
    *os << row.name;
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// Absolute paths in Extends, since the loader opens them relative to the working directory.
std::string PathIn(const TempDir& dir, const std::string& name) {
    return (dir.Path() / name).string();
}

// A chain file_0 -> file_1 -> ... -> file_{count-1}; extra(i) is appended to file i.
std::string WriteChain(const TempDir& dir, int count,
                       const std::function<std::string(int)>& extra) {
    for (int i = 0; i < count; ++i) {
        std::string text;
        if (i + 1 < count) text = "Extends = " + PathIn(dir, "f" + std::to_string(i + 1)) + ",\n";
        text += extra(i);
        dir.Write("f" + std::to_string(i), text);
    }
    return PathIn(dir, "f0");
}

void ExpectSize(const Emitter& e, float size) {
    EXPECT_EQ(e.Size.Min, size);
    EXPECT_EQ(e.Size.Max, size);
}

const HostileFile kFiles[] = {
    {"LongLineBetweenKeys",
     [](const TempDir& d) {
         return d.Write("e.txt", "Size = 7," + std::string(900000, 'x') + ", Layer = 3");
     },
     [](const Emitter& e) {
         ExpectSize(e, 7.0f);
         EXPECT_EQ(e.Layer, 3);
     }},
    {"NumberOfAMillionDigitsIsInfinite",
     [](const TempDir& d) { return d.Write("e.txt", "Raise = " + std::string(1000000, '9')); },
     [](const Emitter& e) { EXPECT_EQ(e.Raise, kInf); }},
    {"TenMiBFileIsReadUpToTheLimit",
     [](const TempDir& d) {
         std::string text = "Layer = 2,\n" + Repeat("Padding = 0,\n", (10u << 20) / 13);
         return d.Write("e.txt", text + "Size = 9");
     },
     [](const Emitter& e) {
         EXPECT_EQ(e.Layer, 2);
         ExpectSize(e, 32.0f);  // beyond the first MiB, never read
     }},
    {"MillionCommas", [](const TempDir& d) { return d.Write("e.txt", std::string(1 << 20, ',')); },
     [](const Emitter& e) { ExpectSize(e, 32.0f); }},
    {"MillionEquals", [](const TempDir& d) { return d.Write("e.txt", std::string(1 << 20, '=')); },
     [](const Emitter& e) { ExpectSize(e, 32.0f); }},
    {"DeepBraceNesting",
     [](const TempDir& d) {
         return d.Write("e.txt", "Size = 5, Deep = " + std::string(400000, '{') +
                                     std::string(400000, '}') + ", Layer = 4");
     },
     [](const Emitter& e) {
         ExpectSize(e, 5.0f);
         EXPECT_EQ(e.Layer, 4);
     }},
    {"DeeplyNestedValueIsNotANumber",
     [](const TempDir& d) {
         return d.Write("e.txt",
                        "Size = " + std::string(300000, '{') + "12" + std::string(300000, '}'));
     },
     [](const Emitter& e) { ExpectSize(e, 0.0f); }},
    {"UnclosedBraceHidesWhatFollows",
     [](const TempDir& d) { return d.Write("e.txt", "Size = 5, Bad = {, Layer = 4"); },
     [](const Emitter& e) {
         ExpectSize(e, 5.0f);
         EXPECT_EQ(e.Layer, 0);
     }},
    {"SurplusBraceHidesWhatFollows",
     [](const TempDir& d) { return d.Write("e.txt", "Size = 5, Bad = }, Layer = 4"); },
     [](const Emitter& e) {
         ExpectSize(e, 5.0f);
         EXPECT_EQ(e.Layer, 0);
     }},
    {"MillionOpeningBraces",
     [](const TempDir& d) { return d.Write("e.txt", "Size = 5," + std::string(1000000, '{')); },
     [](const Emitter& e) { ExpectSize(e, 5.0f); }},
    {"NulBytesEndLines",
     [](const TempDir& d) {
         constexpr char kBytes[] = "Size\0 = 5,\0\0Layer = 4";
         return d.Write("e.txt", std::string(kBytes, sizeof kBytes - 1));
     },
     [](const Emitter& e) {
         ExpectSize(e, 5.0f);
         EXPECT_EQ(e.Layer, 4);
     }},
    {"ByteOrderMarkBelongsToTheFirstName",
     [](const TempDir& d) { return d.Write("e.txt", "\xEF\xBB\xBFSize = 5,\r\nLayer = 4\r\n"); },
     [](const Emitter& e) {
         ExpectSize(e, 32.0f);
         EXPECT_EQ(e.Layer, 4);
     }},
    {"RandomBytes",
     [](const TempDir& d) {
         std::mt19937 gen(42);
         std::string bytes(1 << 20, '\0');
         for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
         return d.Write("e.txt", bytes);
     },
     [](const Emitter&) {}},
    {"SelfExtendingFile",
     [](const TempDir& d) {
         return d.Write("self.txt", "Extends = " + PathIn(d, "self.txt") + ", Size = 5");
     },
     [](const Emitter& e) { ExpectSize(e, 5.0f); }},
    {"TwoFilesExtendingEachOther",
     [](const TempDir& d) {
         d.Write("b.txt", "Extends = " + PathIn(d, "a.txt") + ", Size = 6, Layer = 1");
         return d.Write("a.txt", "Extends = " + PathIn(d, "b.txt") + ", Size = 5");
     },
     [](const Emitter& e) {
         ExpectSize(e, 5.0f);
         EXPECT_EQ(e.Layer, 1);
     }},
    {"ChainOfAThousandFilesStopsAtItsDepth",
     [](const TempDir& d) {
         return WriteChain(d, 1000, [](int i) {
             std::string keys = "Layer = " + std::to_string(i);
             if (i == kMaxExtendsDepth - 1) keys += ", Fade = 63";
             if (i == kMaxExtendsDepth) keys += ", Size = 64";
             return keys;
         });
     },
     [](const Emitter& e) {
         EXPECT_EQ(e.Layer, 0);
         EXPECT_EQ(e.Fade, 63.0f);
         ExpectSize(e, 32.0f);
     }},
    {"ChainOfLargeFilesStopsAtItsBudget",
     [](const TempDir& d) {
         // Files of 1,000,000 bytes: sixteen are read whole, the seventeenth in part, the
         // eighteenth not at all.
         return WriteChain(d, 30, [&d](int i) {
             std::string head = "Raise = " + std::to_string(i) + ",\n";
             if (i == 17) head += "Size = 17,\n";
             const std::string tail = i == 15 ? ",\nFade = 15" : ",\nAcceleration = {1, 1}";
             const std::size_t extends =
                 i + 1 < 30 ? ("Extends = " + PathIn(d, "f" + std::to_string(i + 1)) + ",\n").size()
                            : 0;
             return head + std::string(1000000 - extends - head.size() - tail.size(), 'x') + tail;
         });
     },
     [](const Emitter& e) {
         EXPECT_EQ(e.Raise, 0.0f);
         EXPECT_EQ(e.Fade, 15.0f);
         ExpectSize(e, 32.0f);
     }},
    {"ExtendsNestedInItsOwnValue",
     [](const TempDir& d) {
         // Each level names a file that cannot be opened, whose path text is the next level.
         return d.Write("e.txt", Repeat("Extends = {", 2000) + "Size = 5" + std::string(2000, '}') +
                                     ", Layer = 2");
     },
     [](const Emitter& e) { EXPECT_EQ(e.Layer, 2); }},
    {"ExtendsNamesAFolder",
     [](const TempDir& d) {
         return d.Write("e.txt", "Extends = " + d.Path().string() + ", Layer = 2");
     },
     [](const Emitter& e) { EXPECT_EQ(e.Layer, 2); }},
    {"ExtendsNamesAPipeWithoutWriter",
     [](const TempDir& d) {
         const std::string fifo = PathIn(d, "fifo");
         EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
         return d.Write("e.txt", "Extends = " + fifo + ", Layer = 2");
     },
     [](const Emitter& e) { EXPECT_EQ(e.Layer, 2); }},
    {"ExtendsNamesATerminalOrDevice",
     [](const TempDir& d) { return d.Write("e.txt", "Extends = /dev/stdin, Layer = 2"); },
     [](const Emitter& e) { EXPECT_EQ(e.Layer, 2); }},
    {"PathOfAMegabyte",
     [](const TempDir& d) {
         return d.Write("e.txt", "Extends = " + std::string(1000000, 'a') + ", Layer = 2");
     },
     [](const Emitter& e) { EXPECT_EQ(e.Layer, 2); }},
};

class HostileFiles : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileFiles, LoadWithinASecondAndGiveTheirOutcome) {
    const HostileFile& row = GetParam();
    TempDir dir;
    const std::string path = row.write(dir);
    VirtualClock clock;
    Engine engine(clock);
    FillAreaTypes(engine);
    SeedRandom(engine.Random, 1);

    const double start = ThreadSeconds();
    Emitter* e = LoadEffect(engine, path, 0, 0);
    const double took = ThreadSeconds() - start;
    ASSERT_NE(e, nullptr);
    EXPECT_LT(took, kTimeLimitSeconds);
    RecordProperty("load_ms", static_cast<int>(took * 1000.0));
    row.expect(*e);
    // Whatever was loaded runs.
    for (int frame = 0; frame < 20; ++frame) {
        clock.Advance(16);
        UpdateParticles(engine);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFiles, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<HostileFile>& info) {
                             return std::string(info.param.name);
                         });

// The per-file limit and the bytes-read count the chain budget relies on: line ends count
// although they leave no text.
TEST(HostileFilesReader, CountsLineEndsAgainstTheLimit) {
    TempDir dir;
    const std::string path = dir.Write("e.txt", std::string(3000, '\n') + "Size = 5");
    std::size_t bytesRead = 0;
    const std::optional<std::string> text = ReadEffectText(path, 3004, &bytesRead);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "Size");
    EXPECT_EQ(bytesRead, 3004u);
}

}  // namespace
}  // namespace pp

// Hostile effect files: huge lines and files, deep or unbalanced braces, NUL bytes, byte-order
// marks, endless Extends chains, files that are not files. Each loads within a second of this
// thread's time (other work on the machine does not count) to the whole record given, and runs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <functional>
#include <limits>
#include <random>
#include <string>

#include "effects/effect_text.h"
#include "effects/loader.h"
#include "particles/particles.h"
#include "runtime/clock.h"
#include "tests/effects/temp_dir.h"
#include "tests/particles/params_test_util.h"

namespace pp {
namespace {

using testing::TempDir;
using Change = std::function<void(EmitterParams&)>;

#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
constexpr double kTimeLimitSeconds = 1.0;
#else
constexpr double kTimeLimitSeconds = 20.0;
#endif

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string PathIn(const TempDir& d, const std::string& name) {
    return (d.Path() / name).string();
}

// A chain f0 -> f1 -> ... -> f{count-1}; extra(i) is appended to file i.
std::string WriteChain(const TempDir& d, int count, const std::function<std::string(int)>& extra) {
    for (int i = 0; i < count; ++i) {
        std::string text;
        if (i + 1 < count) text = "Extends = " + PathIn(d, "f" + std::to_string(i + 1)) + ",\n";
        d.Write("f" + std::to_string(i), text + extra(i));
    }
    return PathIn(d, "f0");
}

const Change kSize5 = [](EmitterParams& p) { p.Size = {5.0f, 5.0f, 1.0f}; };
const Change kLayer2 = [](EmitterParams& p) { p.Layer = 2; };
const Change kNothing = [](EmitterParams&) {};

const struct Row {
    const char* Name;
    std::function<std::string(const TempDir&)> Write;
    Change Expected;  // from the defaults; empty for anything
} kRows[] = {
    {"LongLineBetweenKeys",
     [](const TempDir& d) {
         return d.Write("e", "Size = 5," + std::string(900000, 'x') + ", Layer = 2");
     },
     [](EmitterParams& p) { kSize5(p), kLayer2(p); }},
    {"MillionDigitsAreInfinite",
     [](const TempDir& d) { return d.Write("e", "Raise = " + std::string(1000000, '9')); },
     [](EmitterParams& p) { p.Raise = std::numeric_limits<float>::infinity(); }},
    {"TenMiBReadUpToTheLimit",
     [](const TempDir& d) {
         return d.Write("e",
                        "Layer = 2,\n" + Repeat("Padding = 0,\n", (10u << 20) / 13) + "Size = 9");
     },
     kLayer2},
    {"MillionCommas", [](const TempDir& d) { return d.Write("e", std::string(1 << 20, ',')); },
     kNothing},
    {"MillionEquals", [](const TempDir& d) { return d.Write("e", std::string(1 << 20, '=')); },
     kNothing},
    {"DeepBraceNesting",
     [](const TempDir& d) {
         return d.Write("e", "Size = 5, D = " + std::string(400000, '{') +
                                 std::string(400000, '}') + ", Layer = 2");
     },
     [](EmitterParams& p) { kSize5(p), kLayer2(p); }},
    {"DeeplyNestedValueIsNoNumber",
     [](const TempDir& d) {
         return d.Write("e",
                        "Size = " + std::string(300000, '{') + "12" + std::string(300000, '}'));
     },
     [](EmitterParams& p) {
         p.Size = {0.0f, 0.0f, 1.0f};
     }},
    {"UnclosedBraceHidesTheRest",
     [](const TempDir& d) { return d.Write("e", "Size = 5, Bad = {, Layer = 4"); }, kSize5},
    {"SurplusBraceHidesTheRest",
     [](const TempDir& d) { return d.Write("e", "Size = 5, Bad = }, Layer = 4"); }, kSize5},
    {"MillionOpeningBraces",
     [](const TempDir& d) { return d.Write("e", "Size = 5," + std::string(1000000, '{')); },
     kSize5},
    {"NulBytesEndLines",
     [](const TempDir& d) { return d.Write("e", std::string("Size\0 = 5,\0\0Layer = 2", 21)); },
     [](EmitterParams& p) { kSize5(p), kLayer2(p); }},
    {"ByteOrderMarkJoinsTheFirstName",
     [](const TempDir& d) { return d.Write("e", "\xEF\xBB\xBFSize = 5,\r\nLayer = 2\r\n"); },
     kLayer2},
    {"RandomBytes",
     [](const TempDir& d) {
         std::mt19937 gen(42);
         std::string bytes(1 << 20, '\0');
         for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
         return d.Write("e", bytes);
     },
     nullptr},
    {"TwoFilesExtendingEachOther",
     [](const TempDir& d) {
         d.Write("b", "Extends = " + PathIn(d, "a") + ", Size = 6, Layer = 2");
         return d.Write("a", "Extends = " + PathIn(d, "b") + ", Size = 5");
     },
     [](EmitterParams& p) { kSize5(p), kLayer2(p); }},
    {"ThousandFileChainStopsAtItsDepth",
     [](const TempDir& d) {
         return WriteChain(d, 1000, [](int i) {
             std::string keys = "Layer = " + std::to_string(i);
             if (i == kMaxExtendsDepth - 1) keys += ", Fade = 63";
             if (i == kMaxExtendsDepth) keys += ", Size = 64";
             return keys;
         });
     },
     [](EmitterParams& p) { p.Layer = 0, p.Fade = 63.0f; }},
    {"LargeFileChainStopsAtItsBudget",
     [](const TempDir& d) {
         // Files of 1,000,000 bytes: sixteen read whole, the seventeenth in part, then none.
         return WriteChain(d, 30, [&d](int i) {
             std::string head = "Raise = " + std::to_string(i) + ",\n";
             if (i == 17) head += "Size = 17,\n";
             const std::string tail = i == 15 ? ",\nFade = 15" : ",\nLayer = 1";
             const std::size_t extends =
                 i + 1 < 30 ? ("Extends = " + PathIn(d, "f" + std::to_string(i + 1)) + ",\n").size()
                            : 0;
             return head + std::string(1000000 - extends - head.size() - tail.size(), 'x') + tail;
         });
     },
     [](EmitterParams& p) { p.Raise = 0.0f, p.Layer = 1, p.Fade = 15.0f; }},
    {"ExtendsNestedInItsOwnValue",
     [](const TempDir& d) {
         return d.Write("e", Repeat("Extends = {", 2000) + "Size = 5" + std::string(2000, '}') +
                                 ", Layer = 2");
     },
     kLayer2},
    {"ExtendsNamesAFolder",
     [](const TempDir& d) { return d.Write("e", "Extends = " + PathIn(d, "") + ", Layer = 2"); },
     kLayer2},
    {"ExtendsNamesAPipeWithoutWriter",
     [](const TempDir& d) {
         EXPECT_EQ(mkfifo(PathIn(d, "fifo").c_str(), 0600), 0);
         return d.Write("e", "Extends = " + PathIn(d, "fifo") + ", Layer = 2");
     },
     kLayer2},
    {"ExtendsNamesADevice",
     [](const TempDir& d) { return d.Write("e", "Extends = /dev/stdin, Layer = 2"); }, kLayer2},
    {"PathOfAMegabyte",
     [](const TempDir& d) {
         return d.Write("e", "Extends = " + std::string(1000000, 'a') + ", Layer = 2");
     },
     kLayer2},
};

TEST(HostileFiles, LoadWithinASecondToTheirRecordAndRun) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.Name);
        TempDir dir;
        const std::string path = row.Write(dir);
        VirtualClock clock;
        Engine engine(clock);
        FillAreaTypes(engine);
        const double start = ThreadSeconds();
        Emitter* e = LoadEffect(engine, path, 0, 0);
        EXPECT_LT(ThreadSeconds() - start, kTimeLimitSeconds);
        ASSERT_NE(e, nullptr);
        if (row.Expected) {
            EmitterParams expected = DefaultParamsAt(0, 0);
            row.Expected(expected);
            EXPECT_EQ(e->Params(), expected);
        }
        for (int frame = 0; frame < 20; ++frame) {
            clock.Advance(16);
            UpdateParticles(engine);
        }
    }
}

// Line ends count against the per-file limit (the chain budget relies on it) though they
// leave no text.
TEST(HostileFiles, LineEndsCountAgainstTheLimit) {
    TempDir dir;
    std::size_t bytesRead = 0;
    EXPECT_EQ(
        ReadEffectText(dir.Write("e", std::string(3000, '\n') + "Size = 5"), 3004, &bytesRead),
        "Size");
    EXPECT_EQ(bytesRead, 3004u);
}

}  // namespace
}  // namespace pp

// Hostile effect files: huge lines and files, deep or unbalanced braces, NUL bytes, byte-order
// marks, endless Extends chains, files that are not files. Each loads within a second of this
// thread's time (other work on the machine does not count) to the whole record given, and runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(HostileFiles, LoadWithinASecondToTheirRecordAndRun) {
    TempDir d;
    const auto PathIn = [](const TempDir& dir, const std::string& name) {
        return (dir.Path() / name).string();
    };
    int files = 0;
    const auto file = [&](const std::string& text) {
        return d.Write(std::to_string(++files), text);
    };
    const Change size5 = [](EmitterParams& p) { p.Size = {5.0f, 5.0f, 1.0f}; };
    const Change layer2 = [](EmitterParams& p) { p.Layer = 2; };
    const Change both = [&](EmitterParams& p) { size5(p), layer2(p); };
    std::mt19937 gen(42);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(gen() & 0xFF);
    EXPECT_EQ(mkfifo(PathIn(d, "fifo").c_str(), 0600), 0);
    d.Write("b", "Extends = " + PathIn(d, "a") + ", Size = 6, Layer = 2");
    d.Write("a", "Extends = " + PathIn(d, "b") + ", Size = 5");
    for (int i = 0; i < 1000; ++i) {  // a chain far deeper than the loader follows
        std::string text = "Extends = " + PathIn(d, "f" + std::to_string(i + 1)) + ", Layer = 1";
        if (i == kMaxExtendsDepth - 1) text += ", Fade = 63";
        if (i == kMaxExtendsDepth) text += ", Size = 64";
        d.Write("f" + std::to_string(i), text);
    }
    const struct {
        std::string Path;
        Change Expected;  // from the defaults; empty for anything
    } rows[] = {
        {file("Size = 5," + std::string(900000, 'x') + ", Layer = 2"), both},
        {file("Raise = " + std::string(1000000, '9')),
         [](EmitterParams& p) { p.Raise = std::numeric_limits<float>::infinity(); }},
        {file("Layer = 2,\n" + Repeat("Padding = 0,\n", (10u << 20) / 13) + "Size = 9"), layer2},
        {file(std::string(1 << 20, ',')), [](EmitterParams&) {}},
        {file(std::string(1 << 20, '=')), [](EmitterParams&) {}},
        {file("Size = 5, D = " + std::string(400000, '{') + std::string(400000, '}') +
              ", Layer = 2"),
         both},
        {file("Size = " + std::string(300000, '{') + "12" + std::string(300000, '}')),
         [](EmitterParams& p) {
             p.Size = {0, 0, 1};
         }},
        {file("Size = 5, Bad = {, Layer = 4"), size5},
        {file("Size = 5, Bad = }, Layer = 4"), size5},
        {file("Size = 5," + std::string(1000000, '{')), size5},
        {file(std::string("Size\0 = 5,\0\0Layer = 2", 21)), both},
        {file("\xEF\xBB\xBFSize = 5,\r\nLayer = 2\r\n"), layer2},
        {file(noise), nullptr},
        {PathIn(d, "a"), both},
        {PathIn(d, "f0"), [](EmitterParams& p) { p.Layer = 1, p.Fade = 63.0f; }},
        {file(Repeat("Extends = {", 2000) + "Size = 5" + std::string(2000, '}') + ", Layer = 2"),
         layer2},
        {file("Extends = " + PathIn(d, "") + ", Layer = 2"), layer2},
        {file("Extends = " + PathIn(d, "fifo") + ", Layer = 2"), layer2},
        {file("Extends = /dev/stdin, Layer = 2"), layer2},
        {file("Extends = " + std::string(1000000, 'a') + ", Layer = 2"), layer2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Path);
        VirtualClock clock;
        Engine engine(clock);
        FillAreaTypes(engine);
        const double start = ThreadCpuSeconds();
        Emitter* e = LoadEffect(engine, row.Path, 0, 0);
        EXPECT_LT(ThreadCpuSeconds() - start, kTimeLimitSeconds);
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

}  // namespace
}  // namespace pp

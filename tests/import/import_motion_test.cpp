// An imported effect's particles against the file's own motion rules, as the public loaders
// apply them, written out here in the file's frame (y up, degrees counter-clockwise): each value
// a particle draws lies in the file's range, and frame by frame its position, size, colour and
// angle are what the file's rules make of those draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "../particles/plain_motion.h"
#include "effects/loader.h"
#include "import/import_effect.h"

namespace pp {
namespace {

constexpr double kDegree = 3.14159265358979323846 / 180;

// One row's file: a .plist of these keys and numbers.
struct FileKeys {
    const char* Name;
    std::vector<std::pair<const char*, double>> Keys;
    double Get(const std::string& key) const {
        for (const auto& [name, value] : Keys) {
            if (key == name) return value;
        }
        return 0;
    }
};

std::string PlistOf(const FileKeys& file) {
    std::string entries;
    for (const auto& [name, value] : file.Keys) {
        entries +=
            "<key>" + std::string(name) + "</key><real>" + std::to_string(value) + "</real>\n";
    }
    return "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries +
           "</dict>\n</plist>\n";
}

// Whether v lies within mean plus or minus spread (give or take float rounding).
bool Within(double v, double mean, double spread) {
    return std::fabs(v - mean) <= std::fabs(spread) + 1e-4 * (1 + std::fabs(mean));
}

// The file's turn of an angle in degrees to [-180, 180].
double Turned(double degrees) {
    return std::remainder(degrees, 360.0);
}

// Each row one emitter mode of the file. The files' rates fall on whole milliseconds (75 / 1.5 s
// is one every 20 ms), so the import schedules births as the file does and gives no finding.
TEST(ImportMotion, ParticlesFollowTheFilesRulesFrameByFrame) {
    const FileKeys rows[] = {
        {"gravity mode with radial and tangential acceleration",
         {{"emitterType", 0},
          {"maxParticles", 75},
          {"particleLifespan", 1.5},
          {"particleLifespanVariance", 0.5},
          {"angle", 60},
          {"angleVariance", 40},
          {"speed", 150},
          {"speedVariance", 50},
          {"gravityx", 10},
          {"gravityy", -120},
          {"radialAcceleration", -60},
          {"radialAccelVariance", 30},
          {"tangentialAcceleration", 90},
          {"tangentialAccelVariance", 30},
          {"sourcePositionx", 300},
          {"sourcePositiony", 250},
          {"sourcePositionVariancex", 20},
          {"sourcePositionVariancey", 10},
          {"startParticleSize", 32},
          {"startParticleSizeVariance", 8},
          {"finishParticleSize", 8},
          {"finishParticleSizeVariance", 4},
          {"rotationStart", 15},
          {"rotationStartVariance", 10},
          {"rotationEnd", 270},
          {"rotationEndVariance", 45},
          {"startColorRed", 1},
          {"startColorGreen", 0.5},
          {"startColorBlue", 0.25},
          {"startColorAlpha", 1},
          {"startColorVarianceGreen", 0.25},
          {"startColorVarianceAlpha", 0.125},
          {"finishColorRed", 0.25},
          {"finishColorBlue", 0.75},
          {"finishColorVarianceRed", 0.125},
          {"finishColorVarianceBlue", 0.25}}},
        {"radial mode from the start radius to the end radius",
         {{"emitterType", 1},
          {"maxParticles", 100},
          {"particleLifespan", 2},
          {"particleLifespanVariance", 0.5},
          {"angle", 30},
          {"angleVariance", 90},
          {"maxRadius", 150},
          {"maxRadiusVariance", 20},
          {"minRadius", 20},
          {"minRadiusVariance", 10},
          {"rotatePerSecond", 120},
          {"rotatePerSecondVariance", 60},
          {"sourcePositionx", 400},
          {"sourcePositiony", 300},
          {"startParticleSize", 20},
          {"startParticleSizeVariance", 4},
          {"finishParticleSize", 40},
          {"finishParticleSizeVariance", 6},
          {"rotationEnd", -180},
          {"rotationEndVariance", 30},
          {"startColorRed", 0.5},
          {"startColorGreen", 1},
          {"startColorBlue", 1},
          {"startColorAlpha", 0.75},
          {"startColorVarianceRed", 0.5},
          {"finishColorGreen", 0.5},
          {"finishColorAlpha", 0}}},
    };
    for (const FileKeys& file : rows) {
        SCOPED_TRACE(file.Name);
        std::string error;
        const auto imported = ImportParticleEffect(PlistOf(file), "", &error);
        ASSERT_TRUE(imported) << error;
        EXPECT_TRUE(imported->Findings.empty()) << imported->Findings[0].Message;
        TestEngine t(17, 3000);
        Emitter* e = CreateEmitter(t.engine, imported->PlaceX, imported->PlaceY);
        LoadEffectText(t.engine, e, imported->Text);
        const auto key = [&file](const char* name) { return file.Get(name); };
        const bool radial = key("emitterType") == 1;
        // The file's frame here is ours with y negated: its source is (PlaceX, -PlaceY), as the
        // file's rules measure everything from the source.
        const float sx = e->PositionX, sy = -e->PositionY;
        // What the particle drew, as the file's values: lifespan s, sizes, angles, colours.
        struct Draws {
            double Life, Size, EndSize, Turn, EndTurn;
            std::array<double, 4> Colour, EndColour;
        };
        const auto draws = [](const Followed& f) {
            Draws d{f.L.LifeMs / 1000.0,
                    f.P.Size,
                    f.P.Size + f.M.SizeChange,
                    f.M.Turn,
                    f.M.Turn + f.M.TurnChange,
                    {},
                    {}};
            for (size_t c = 0; c < 4; ++c) {
                d.Colour[c] = f.M.Colour[c] / 255.0;
                d.EndColour[c] = (f.M.Colour[c] + f.M.ColourChange[c]) / 255.0;
            }
            return d;
        };
        // The particle's own state in the file's frame: Own[0..3] x, y and velocity (gravity
        // mode), Own[0..1] angle and radius (radial mode); Own[4] its age in seconds, Own[5] 1
        // until its birth frame is past.
        FollowHooks hooks;
        hooks.Born = [&](Followed& f) {
            const Draws d = draws(f);
            EXPECT_TRUE(Within(d.Life, key("particleLifespan"), key("particleLifespanVariance")));
            EXPECT_TRUE(Within(d.Size, key("startParticleSize"), key("startParticleSizeVariance")));
            EXPECT_TRUE(
                Within(d.EndSize, key("finishParticleSize"), key("finishParticleSizeVariance")));
            EXPECT_TRUE(Within(d.Turn, key("rotationStart"), key("rotationStartVariance")));
            EXPECT_TRUE(Within(d.EndTurn, key("rotationEnd"), key("rotationEndVariance")));
            const char* channels[] = {"Red", "Green", "Blue", "Alpha"};
            for (size_t c = 0; c < 4; ++c) {
                const std::string ch = channels[c];
                const double start = key(("startColor" + ch).c_str());
                const double end = key(("finishColor" + ch).c_str());
                // The file holds each drawn channel to 0..1, as ours does.
                EXPECT_TRUE(Within(d.Colour[c], start, key(("startColorVariance" + ch).c_str())))
                    << ch;
                EXPECT_TRUE(Within(d.EndColour[c], end, key(("finishColorVariance" + ch).c_str())))
                    << ch;
            }
            EXPECT_TRUE(f.M.OriginX == e->PositionX && f.M.OriginY == e->PositionY);
            if (radial) {
                // Ours orbits at the angle 180 - a, clockwise with y down.
                const double angle = 180.0 - f.M.OrbitAngle;
                EXPECT_TRUE(Within(Turned(angle - key("angle")), 0, key("angleVariance")));
                EXPECT_TRUE(Within(f.M.OrbitRadius, key("maxRadius"), key("maxRadiusVariance")));
                EXPECT_TRUE(Within(f.M.OrbitEndRadius, key("minRadius"), key("minRadiusVariance")));
                EXPECT_TRUE(
                    Within(-f.M.OrbitSpin, key("rotatePerSecond"), key("rotatePerSecondVariance")));
                f.Own = {angle, f.M.OrbitRadius, 0, 0, 0, 1};
                return;
            }
            const float vx = f.P.VelocityX, vy = -f.P.VelocityY;
            EXPECT_TRUE(Within(std::hypot(vx, vy), key("speed"), key("speedVariance")));
            EXPECT_TRUE(Within(std::atan2(vy, vx) / kDegree, key("angle"), key("angleVariance")));
            EXPECT_TRUE(Within(f.P.X - sx, 0, key("sourcePositionVariancex")));
            EXPECT_TRUE(Within(-f.P.Y - sy, 0, key("sourcePositionVariancey")));
            EXPECT_TRUE(Within(f.M.Radial, key("radialAcceleration"), key("radialAccelVariance")));
            EXPECT_TRUE(Within(-f.M.Tangential, key("tangentialAcceleration"),
                               key("tangentialAccelVariance")));
            f.Own = {f.P.X, -f.P.Y, vx, vy, 0, 1};
        };
        hooks.Seen = [&](Followed& f, float dt, const ParticleLooks& looks) {
            const Draws d = draws(f);
            // The file's engines age a particle by the whole frame it is born in; ours moves it
            // that frame but counts its age from the frame's end (docs/import.md): the file's
            // age here starts there too.
            const double aged = f.Own[5] != 0 ? 0.0 : dt;
            f.Own[4] += aged;
            f.Own[5] = 0;
            // Ours lives to the whole millisecond nearest its lifespan, so its last frame can
            // fall up to half a millisecond past the file's death: the file's values are held at
            // their end there.
            ASSERT_LE(f.Own[4], d.Life + 0.0005);
            const double share = std::min(f.Own[4] / d.Life, 1.0);
            if (radial) {
                // The file turns the angle by rotatePerSecond and moves the radius towards the
                // end at (end - start) / lifespan each frame, and places the particle at
                // -radius (cos, sin) of the angle from the source. In double here; ours works
                // out its angle and turns it in float: a few millionths of a degree apart.
                const double spin = -f.M.OrbitSpin;
                f.Own[0] += spin * aged;
                f.Own[1] = f.M.OrbitRadius + (f.M.OrbitEndRadius - f.M.OrbitRadius) * share;
                const double x = sx - f.Own[1] * std::cos(f.Own[0] * kDegree);
                const double y = sy - f.Own[1] * std::sin(f.Own[0] * kDegree);
                EXPECT_NEAR(f.P.X, x, 0.01);
                EXPECT_NEAR(-f.P.Y, y, 0.01);
            } else {
                // The file's step: gravity, and the radial and tangential accelerations along
                // and counter-clockwise across the unit vector from the source. The file's
                // engines add the frame's acceleration before they move the particle, ours
                // after (docs/import.md says so); in our order, in float, the file's frame is
                // ours mirrored, which float arithmetic keeps exactly.
                const float x0 = static_cast<float>(f.Own[0]), y0 = static_cast<float>(f.Own[1]);
                float vx = static_cast<float>(f.Own[2]), vy = static_cast<float>(f.Own[3]);
                const float x = x0 + dt * vx, y = y0 + dt * vy;
                vx = vx + dt * static_cast<float>(key("gravityx"));
                vy = vy + dt * static_cast<float>(key("gravityy"));
                const float dx = x0 - sx, dy = y0 - sy;
                const float r = std::sqrt(dx * dx + dy * dy);
                if (r > 0) {
                    const float ux = dx / r, uy = dy / r;
                    const float push = dt * f.M.Radial, turn = dt * -f.M.Tangential;
                    vx = vx + (push * ux - turn * uy);
                    vy = vy + (push * uy + turn * ux);
                }
                f.Own = {x, y, vx, vy, f.Own[4], 0};
                ASSERT_TRUE(f.P.X == x && -f.P.Y == y && f.P.VelocityX == vx &&
                            -f.P.VelocityY == vy)
                    << f.P.X << " " << x << ", " << -f.P.Y << " " << y;
            }
            // Size, angle and colour go from their start to their end draw over the life. The
            // file adds (end - start) / lifespan × dt each frame, ours takes the share of the
            // life: the same line, apart by rounding.
            const auto along = [share](double start, double end) {
                return start + (end - start) * share;
            };
            EXPECT_NEAR(looks.Size, along(d.Size, d.EndSize), 1e-3);
            EXPECT_NEAR(f.P.Angle, along(d.Turn, d.EndTurn), 1e-3);
            // Channels are drawn as whole bytes (rounded) and transparency as 0..255.
            const uint8_t rgb[] = {looks.Red, looks.Green, looks.Blue};
            for (size_t c = 0; c < 3; ++c) {
                EXPECT_NEAR(rgb[c], 255 * along(d.Colour[c], d.EndColour[c]), 0.501) << c;
            }
            EXPECT_NEAR(looks.Transparency, 255 * along(d.Colour[3], d.EndColour[3]), 1e-3);
        };
        int64_t checked = 0;
        FollowParticles(t, e, 400, hooks, checked);
        EXPECT_LE(e->Particles.Count(), key("maxParticles"));
        EXPECT_GT(checked, 10000);
    }
}

}  // namespace
}  // namespace pp

#include "particleplayer/vertices.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "draw/particle_runs.h"
#include "draw/quad_draws.h"
#include "geometry/quad_geometry.h"
#include "lib/world_access.h"
#include "particles/looks.h"
#include "runtime/convert.h"
#include "runtime/cpu_path.h"
#include "runtime/worker_pool.h"

namespace particleplayer {

const char* const kInstanceVertexShader = R"(#version 330 core
#extension GL_ARB_gpu_shader5 : enable
#if __VERSION__ < 400 && !defined(GL_ARB_gpu_shader5)
#define precise
#endif
layout(location = 0) in vec4 Place;  // Left, Top, Side, Height
layout(location = 1) in vec2 Turn;   // Cos, Sin
layout(location = 2) in vec4 Cells;  // U0, V0, U1, V1
layout(location = 3) in vec4 Colour;
uniform vec2 Viewport;
out vec2 Cell;
out vec4 Tint;
void main() {
    int k = gl_VertexID;
    float r = Place.z - 0.5;
    float b = Place.w - 0.5;
    float x = (k & 1) != 0 ? r : -0.5;
    float y = (k & 2) != 0 ? b : -0.5;
    precise vec2 corner;
    if (Turn.y == 0.0) {
        corner = vec2(x, y) + Place.xy;
    } else {
        precise float mx = (((-0.5 + r) + -0.5) + r) * 0.25;
        precise float my = (((-0.5 + -0.5) + b) + b) * 0.25;
        precise float dx = x - mx;
        precise float dy = y - my;
        precise float cs = Turn.x * dx;
        precise float sn = Turn.y * dy;
        precise float sx = Turn.y * dx;
        precise float cy = Turn.x * dy;
        corner = vec2(((cs - sn) + mx) + Place.x, ((sx + cy) + my) + Place.y);
    }
    gl_Position = vec4((corner.x + 0.5) * 2.0 / Viewport.x - 1.0,
                       1.0 - (corner.y + 0.5) * 2.0 / Viewport.y, 0.0, 1.0);
    Cell = vec2((k & 1) != 0 ? Cells.z : Cells.x, (k & 2) != 0 ? Cells.w : Cells.y);
    Tint = Colour;
}
)";

namespace {

constexpr size_t kRun = pp::kParticleRun;

// Below this many particles in the layer the arrays are built on the calling thread alone:
// waking the workers costs more than they save.
constexpr size_t kParallelBuildMin = 16384;

// Up to kRun consecutive particles of one emitter, built into the array on any thread at
// quad Base, the most quads of the stretches before it; Life is set for an emitter drawn with
// its optional keys.
struct Stretch {
    const pp::Emitter* E;
    const pp::Particle* First;
    const pp::ParticleLife* Life;
    const pp::ParticleMotion* Motion;  // set beside Life when the emitter keeps motion records
    size_t Count;
    size_t Base;
};

// Consecutive quads of a stretch with one sprite.
struct Group {
    int32_t Sprite;
    uint32_t Quads;
};

// A stretch's draws as the renderer sees them, with each quad's looks and height where they
// are its own.
struct StretchDraws {
    pp::QuadDrawRun Run;
    alignas(64) int32_t Height[kRun];
    pp::RunAngles Angles;
    pp::ParticleLooks Looks[kRun];
    alignas(64) float Xy[kRun * 8];
    alignas(64) uint8_t Alpha[kRun * 4];
};

// How a particle of a plain emitter is drawn: white, the whole texture.
constexpr pp::ParticleLooks kPlainLooks = {0.0f, 0.0f, 255, 255, 255, {0.0f, 0.0f, 1.0f, 1.0f},
                                           0.0f};

// Gathers, centres and rounds the stretch and works out its angles, as the renderer does.
void PrepareDraws(const Stretch& s, float dx, float dy, StretchDraws& d) {
    if (s.Life == nullptr) {
        pp::ParticleRun particles;
        for (size_t n = 0; n < s.Count; ++n) pp::GatherParticle(s.First[n], n, d.Run, particles);
        pp::CentreAndRound(particles, d.Run, s.Count, dx, dy);
    } else {
        for (size_t n = 0; n < s.Count; ++n) {
            const pp::Particle& p = s.First[n];
            const pp::ParticleLooks l = pp::LooksOf(s.E->Extras, p, s.Life[n],
                                                    s.Motion != nullptr ? s.Motion + n : nullptr);
            d.Looks[n] = l;
            d.Run.Quad[n] = p.Sprite;
            d.Run.Degrees[n] = p.Angle;
            const pp::RoundedQuad q = pp::RoundLooks(p, l, dx, dy);
            d.Run.Size[n] = q.Width;
            d.Run.X[n] = q.X;
            d.Run.Y[n] = q.Y;
            d.Run.Alpha[n] = q.Alpha;
            d.Height[n] = q.Height;
        }
    }
    pp::AnglesOfRun(d.Run, s.Count, d.Angles);
}

inline uint8_t AlphaByte(int32_t alpha) {
    return static_cast<uint8_t>(static_cast<uint32_t>(alpha) & 0xFFu);
}

template <int kCorners>
using ExpandFunction = void (*)(const float*, const uint8_t*, size_t, Vertex*);

// The vertex forms: six corners a quad (top-left, top-right, bottom-left, bottom-left,
// top-right, bottom-right) or four in corner order.
template <int kCorners>
struct VertexForm {
    using Element = Vertex;
    static constexpr size_t kPerQuad = kCorners;
    static ExpandFunction<kCorners> Expand();

    // The quad's vertices as whole vectors of four floats (the colour's four bytes travel in
    // a float lane, moved but never computed with): seven and a half stores for six vertices,
    // five for four, where field by field would take 48 or 32.
    [[gnu::always_inline]] static void Put(const float* xy, uint8_t alpha,
                                           const pp::ParticleLooks& l, Vertex* out) {
        using Float4 = pp::CornerFloats;
        static_assert(sizeof(Vertex) == 20 && offsetof(Vertex, Red) == 16,
                      "a vertex is four floats and four bytes");
        Float4 front;
        Float4 back;
        std::memcpy(&front, xy, sizeof front);
        std::memcpy(&back, xy + 4, sizeof back);
        const uint8_t bytes[4] = {l.Red, l.Green, l.Blue, alpha};
        float colour;
        std::memcpy(&colour, bytes, sizeof colour);
        const Float4 cell = {l.Cell.U0, l.Cell.V0, l.Cell.U1, l.Cell.V1};
        const Float4 c = {colour, colour, colour, colour};
        // Corner k's x, y, u and v.
        const Float4 a0 = __builtin_shufflevector(front, cell, 0, 1, 4, 5);
        const Float4 a1 = __builtin_shufflevector(front, cell, 2, 3, 6, 5);
        const Float4 a2 = __builtin_shufflevector(back, cell, 0, 1, 4, 7);
        const Float4 a3 = __builtin_shufflevector(back, cell, 2, 3, 6, 7);
        const Float4 vc = __builtin_shufflevector(cell, c, 1, 4, 3, 4);  // V0 c V1 c
        const Float4 uc = __builtin_shufflevector(cell, c, 0, 3, 4, 4);  // U0 V1 c c
        auto* to = reinterpret_cast<float*>(out);
        const auto store = [](float* at, const Float4& v) { std::memcpy(at, &v, sizeof v); };
        store(to, a0);                                               // x0 y0 U0 V0
        store(to + 4, __builtin_shufflevector(c, a1, 0, 4, 5, 6));   // c x1 y1 U1
        store(to + 8, __builtin_shufflevector(vc, a2, 0, 1, 4, 5));  // V0 c x2 y2
        if constexpr (kCorners == 6) {
            // Corners 0, 1, 2, 2, 1, 3.
            store(to + 12, __builtin_shufflevector(uc, a2, 0, 1, 2, 4));       // U0 V1 c x2
            store(to + 16, __builtin_shufflevector(a2, uc, 1, 4, 5, 6));       // y2 U0 V1 c
            store(to + 20, a1);                                                // x1 y1 U1 V0
            store(to + 24, __builtin_shufflevector(c, a3, 0, 4, 5, 6));        // c x3 y3 U1
            std::memcpy(to + 28, reinterpret_cast<const float*>(&vc) + 2, 8);  // V1 c
        } else {
            store(to + 12, __builtin_shufflevector(uc, a3, 0, 1, 2, 4));  // U0 V1 c x3
            store(to + 16, __builtin_shufflevector(a3, c, 1, 2, 3, 4));   // y3 U1 V1 c
        }
    }

    // Draws [i, end) of one sprite; returns the quads written at out.
    static size_t Write(StretchDraws& d, bool own, size_t i, size_t end, Vertex* out) {
        if (!own) {
            // The renderer's own vertex writer, several quads per step.
            const pp::QuadVertexSource source = {
                d.Run.Size + i,       d.Run.X + i,          d.Run.Y + i,       d.Run.Alpha + i,
                d.Angles.Radians + i, d.Angles.Cosines + i, d.Angles.Sines + i};
            const size_t n = pp::WriteQuadVertices(source, end - i, d.Xy, d.Alpha);
            Expand()(d.Xy, d.Alpha, n, out);
            return n;
        }
        size_t n = 0;
        for (; i < end; ++i) {
            const int32_t side = d.Run.Size[i];
            const int32_t height = d.Height[i];
            if (side == 0 || height == 0) continue;
            pp::CornerFloats x;
            pp::CornerFloats y;
            if (d.Angles.Radians[i] == 0.0f) {
                pp::RectangleCorners(side, height, x, y);
            } else {
                pp::TurnedCorners(side, height, d.Angles.Cosines[i], d.Angles.Sines[i], x, y);
            }
            const float left = static_cast<float>(d.Run.X[i]);
            const float top = static_cast<float>(d.Run.Y[i]);
            float xy[8];
            bool finite = true;
            for (int c = 0; c < 4; ++c) {
                xy[2 * c] = x[c] + left;
                xy[2 * c + 1] = y[c] + top;
                finite = finite && std::isfinite(xy[2 * c]) && std::isfinite(xy[2 * c + 1]);
            }
            if (!finite) continue;
            Put(xy, AlphaByte(d.Run.Alpha[i]), d.Looks[i], out + n * kPerQuad);
            ++n;
        }
        return n;
    }
};

// Writes n quads of a plain emitter from the renderer's corners and alphas.
template <int kCorners>
void ExpandPlain(const float* xy, const uint8_t* alpha, size_t n, Vertex* out) {
    for (size_t q = 0; q < n; ++q) {
        VertexForm<kCorners>::Put(xy + q * 8, alpha[q * 4], kPlainLooks, out + q * kCorners);
    }
}

#if defined(__x86_64__)
// The same in the wider instructions' encoding, where the processor has them.
template <int kCorners>
[[gnu::target("avx2")]] void ExpandPlainAvx2(const float* xy, const uint8_t* alpha, size_t n,
                                             Vertex* out) {
    for (size_t q = 0; q < n; ++q) {
        VertexForm<kCorners>::Put(xy + q * 8, alpha[q * 4], kPlainLooks, out + q * kCorners);
    }
}
#endif

#if defined(__x86_64__)
// Where each float of two quads' vertices comes from, in the two tables of one permutation:
// the pair's sixteen corner floats (lanes 0-15), then the two colours, 0 and 1 (16-19).
template <int kCorners>
struct PairLanes {
    static constexpr int kFloats = 2 * kCorners * 5;  // five floats a vertex
    static constexpr int kVectors = (kFloats + 15) / 16;
    alignas(64) int32_t From[kVectors][16] = {};
    constexpr PairLanes() {
        constexpr int kOrder[6] = {0, 1, 2, 2, 1, 3};  // six corners: two triangles
        for (int f = 0; f < kFloats; ++f) {
            const int quad = f / (kCorners * 5);
            const int vertex = f % (kCorners * 5) / 5;
            const int corner = kCorners == 6 ? kOrder[vertex] : vertex;
            const int at[5] = {quad * 8 + corner * 2, quad * 8 + corner * 2 + 1,
                               (corner & 1) != 0 ? 19 : 18, (corner & 2) != 0 ? 19 : 18, 16 + quad};
            From[f / 16][f % 16] = at[f % 5];
        }
    }
};

template <int kCorners>
constexpr PairLanes<kCorners> kPairLanes{};

// Two quads at a time in AVX-512: each vector of their vertices is one permutation of their
// corners and their colours, so six vertices take under two stores a quad, where the vectors
// of four take seven and a half. The floats are moved, never computed with. The last vector
// of the call is stored in its own lanes alone, since what lies behind is another stretch's.
template <int kCorners>
[[gnu::target("avx512f")]] void ExpandPlainAvx512(const float* xy, const uint8_t* alpha, size_t n,
                                                  Vertex* out) {
    using Lanes = PairLanes<kCorners>;
    constexpr int kLast = Lanes::kFloats - 16 * (Lanes::kVectors - 1);
    const __m128i zeroOne = _mm_setr_epi32(0, 0x3F800000, 0, 0);  // 0.0f, 1.0f
    size_t q = 0;
    for (; q + 2 <= n; q += 2) {
        const __m512 corners = _mm512_loadu_ps(xy + q * 8);
        uint64_t alphas;  // the low byte of each four is the quad's alpha
        std::memcpy(&alphas, alpha + q * 4, sizeof alphas);
        const __m128i colours =
            _mm_or_si128(_mm_slli_epi32(_mm_cvtsi64_si128(static_cast<int64_t>(alphas)), 24),
                         _mm_set1_epi32(0x00FFFFFF));
        const __m512 rest =
            _mm512_castps128_ps512(_mm_castsi128_ps(_mm_unpacklo_epi64(colours, zeroOne)));
        auto* to = reinterpret_cast<float*>(out + q * kCorners);
        for (int k = 0; k < Lanes::kVectors; ++k) {
            const __m512 v = _mm512_permutex2var_ps(
                corners, _mm512_load_si512(kPairLanes<kCorners>.From[k]), rest);
            if (k + 1 < Lanes::kVectors || q + 2 < n) {
                _mm512_storeu_ps(to + 16 * k, v);  // what passes the pair is its next one's
            } else {
                _mm512_mask_storeu_ps(to + 16 * k, static_cast<__mmask16>((1u << kLast) - 1u), v);
            }
        }
    }
    for (; q < n; ++q) {
        VertexForm<kCorners>::Put(xy + q * 8, alpha[q * 4], kPlainLooks, out + q * kCorners);
    }
}
#endif

// The path that runs (ActiveCpuPath) picks the encoding.
template <int kCorners>
ExpandFunction<kCorners> VertexForm<kCorners>::Expand() {
#if defined(__x86_64__)
    if (pp::UseAvx512()) return ExpandPlainAvx512<kCorners>;
    if (pp::UseAvx2()) return ExpandPlainAvx2<kCorners>;
#endif
    return ExpandPlain<kCorners>;
}

using PlainInstancesFunction = size_t (*)(const StretchDraws&, size_t, size_t, QuadInstance*);

// The instance form: what a vertex shader needs to make the corners.
struct InstanceForm {
    using Element = QuadInstance;
    static constexpr size_t kPerQuad = 1;
    static PlainInstancesFunction Plain();

    static size_t Write(StretchDraws& d, bool own, size_t i, size_t end, QuadInstance* out) {
        return own ? WriteEach(d, true, i, end, out) : Plain()(d, i, end, out);
    }

    // Quads [i, end) one by one.
    [[gnu::always_inline]] static size_t WriteEach(const StretchDraws& d, bool own, size_t i,
                                                   size_t end, QuadInstance* out) {
        size_t n = 0;
        for (; i < end; ++i) {
            const int32_t side = d.Run.Size[i];
            const int32_t height = own ? d.Height[i] : side;
            const bool turned = d.Angles.Radians[i] != 0.0f;
            const float c = d.Angles.Cosines[i];
            const float s = d.Angles.Sines[i];
            // The corners of a whole-number rectangle at a whole-number place are finite unless
            // the turn is not (an angle that is infinite or NaN).
            if (side == 0 || height == 0 || (turned && !(std::isfinite(c) && std::isfinite(s))))
                continue;
            const pp::ParticleLooks& l = own ? d.Looks[i] : kPlainLooks;
            out[n++] = {static_cast<float>(d.Run.X[i]),
                        static_cast<float>(d.Run.Y[i]),
                        static_cast<float>(side),
                        static_cast<float>(height),
                        turned ? c : 1.0f,
                        turned ? s : 0.0f,
                        l.Cell.U0,
                        l.Cell.V0,
                        l.Cell.U1,
                        l.Cell.V1,
                        l.Red,
                        l.Green,
                        l.Blue,
                        AlphaByte(d.Run.Alpha[i])};
        }
        return n;
    }

    // Quads [i, end) of a plain emitter, four at a time where all four are drawn: their four
    // records are eleven whole vectors, stored as such, where field by field would take 44
    // stores. The lanes are moved, never computed with, so the records are the same bits.
    [[gnu::always_inline]] static size_t WritePlain(const StretchDraws& d, size_t i, size_t end,
                                                    QuadInstance* out) {
        static_assert(sizeof(QuadInstance) == 44 && offsetof(QuadInstance, Red) == 40,
                      "an instance is ten floats and four bytes");
        static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "colour bytes in a 32-bit lane");
        using Float4 = pp::CornerFloats;
        using Int4 = int32_t __attribute__((vector_size(16)));
        using Bits4 = uint32_t __attribute__((vector_size(16)));
        const auto load = [](auto& v, const void* at) { std::memcpy(&v, at, sizeof v); };
        const auto store = [](float* at, const Float4& v) { std::memcpy(at, &v, sizeof v); };
        const Float4 cell = {0.0f, 0.0f, 1.0f, 1.0f};  // U0 V0 U1 V1 of the whole texture
        const Float4 one = {1.0f, 1.0f, 1.0f, 1.0f};
        size_t n = 0;
        for (; i + 4 <= end; i += 4) {
            Int4 x, y, side;
            Bits4 alpha;
            Float4 radians, c, s;
            load(x, d.Run.X + i);
            load(y, d.Run.Y + i);
            load(side, d.Run.Size + i);
            load(alpha, d.Run.Alpha + i);
            load(radians, d.Angles.Radians + i);
            load(c, d.Angles.Cosines + i);
            load(s, d.Angles.Sines + i);
            // Finite exactly where v - v is zero: an infinity or a NaN gives a NaN.
            const Int4 turned = radians != 0.0f;
            const Int4 drawn = (side != 0) & (~turned | (((c - c) == 0.0f) & ((s - s) == 0.0f)));
            if ((drawn[0] & drawn[1] & drawn[2] & drawn[3]) == 0) {
                n += WriteEach(d, false, i, i + 4, out + n);
                continue;
            }
            const Float4 fx = __builtin_convertvector(x, Float4);
            const Float4 fy = __builtin_convertvector(y, Float4);
            const Float4 fs = __builtin_convertvector(side, Float4);
            const Float4 cs = turned ? c : one;
            const Float4 sn = turned ? s : Float4{};
            const Bits4 bytes = (alpha << 24) | 0x00FFFFFFu;  // red, green, blue 255
            Float4 colour;
            std::memcpy(&colour, &bytes, sizeof colour);
            const Float4 xy01 = __builtin_shufflevector(fx, fy, 0, 4, 1, 5);
            const Float4 xy23 = __builtin_shufflevector(fx, fy, 2, 6, 3, 7);
            const Float4 cs01 = __builtin_shufflevector(cs, sn, 0, 4, 1, 5);
            const Float4 cs23 = __builtin_shufflevector(cs, sn, 2, 6, 3, 7);
            const Float4 c0x1 = __builtin_shufflevector(colour, xy01, 0, 6, 1, 7);  // c0 x1 c1 y1
            const Float4 y1s1 = __builtin_shufflevector(xy01, fs, 3, 5, 5, 5);
            const Float4 k1c1 = __builtin_shufflevector(cell, colour, 2, 5, 2, 5);  // 1 c1
            const Float4 c2x3 = __builtin_shufflevector(colour, xy23, 2, 6, 7, 7);  // c2 x3 y3
            const Float4 s3cs = __builtin_shufflevector(fs, cs23, 3, 6, 7, 7);      // s3 cs3 sn3
            auto* to = reinterpret_cast<float*>(out + n);
            store(to, __builtin_shufflevector(xy01, fs, 0, 1, 4, 4));           // x0 y0 s0 s0
            store(to + 4, __builtin_shufflevector(cs01, cell, 0, 1, 4, 5));     // cs0 sn0 U0 V0
            store(to + 8, __builtin_shufflevector(cell, c0x1, 2, 3, 4, 5));     // U1 V1 c0 x1
            store(to + 12, __builtin_shufflevector(y1s1, cs01, 0, 1, 2, 6));    // y1 s1 s1 cs1
            store(to + 16, __builtin_shufflevector(cs01, cell, 3, 4, 5, 6));    // sn1 U0 V0 U1
            store(to + 20, __builtin_shufflevector(k1c1, xy23, 0, 1, 4, 5));    // V1 c1 x2 y2
            store(to + 24, __builtin_shufflevector(fs, cs23, 2, 2, 4, 5));      // s2 s2 cs2 sn2
            store(to + 28, cell);                                               // U0 V0 U1 V1
            store(to + 32, __builtin_shufflevector(c2x3, fs, 0, 1, 2, 7));      // c2 x3 y3 s3
            store(to + 36, __builtin_shufflevector(s3cs, cell, 0, 1, 2, 4));    // s3 cs3 sn3 U0
            store(to + 40, __builtin_shufflevector(cell, colour, 1, 2, 3, 7));  // V0 U1 V1 c3
            n += 4;
        }
        return n + WriteEach(d, false, i, end, out + n);
    }
};

size_t WritePlainInstances(const StretchDraws& d, size_t i, size_t end, QuadInstance* out) {
    return InstanceForm::WritePlain(d, i, end, out);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] size_t WritePlainInstancesAvx2(const StretchDraws& d, size_t i, size_t end,
                                                       QuadInstance* out) {
    return InstanceForm::WritePlain(d, i, end, out);
}
#endif

PlainInstancesFunction InstanceForm::Plain() {
#if defined(__x86_64__)
    if (pp::UseAvx2()) return WritePlainInstancesAvx2;
#endif
    return WritePlainInstances;
}

// Builds stretch k at its base in `out`, its groups at the same place in `groups`, and
// returns how many groups it made; `quads` receives how many quads it wrote.
template <class Form>
size_t BuildStretch(const Stretch& s, float dx, float dy, typename Form::Element* out,
                    Group* groups, size_t& quads) {
    thread_local StretchDraws d;
    PrepareDraws(s, dx, dy, d);
    size_t written = 0;
    size_t made = 0;
    pp::ForEachQuadGroup(d.Run, s.Count, [&](int32_t sprite, size_t i, size_t end) {
        const size_t n =
            Form::Write(d, s.Life != nullptr, i, end, out + (s.Base + written) * Form::kPerQuad);
        if (n == 0) return;
        groups[made++] = {sprite, static_cast<uint32_t>(n)};
        written += n;
    });
    quads = written;
    return made;
}

// Storage kept by each calling thread from frame to frame.
struct BuildScratch {
    std::vector<Stretch> Stretches;
    std::vector<Group> Groups;  // at each stretch's base
    std::vector<size_t> GroupCounts, Quads;
};

// The layer's quads in `form` into elements (resized to fit) and runs.
template <class Form>
Status Build(World& world, std::vector<typename Form::Element>& elements,
             std::vector<VertexRun>& runs, int32_t layer, int32_t offsetX, int32_t offsetY) {
    runs.clear();
    pp::Engine& engine = WorldAccess::EngineOf(world);
    thread_local BuildScratch scratch;
    std::vector<Stretch>& stretches = scratch.Stretches;
    stretches.clear();
    size_t total = 0;
    pp::ListRewind(engine.Emitters);
    while (pp::Emitter* e = pp::ListNext(engine.Emitters)) {
        if (e->Layer != layer) continue;
        const auto count = static_cast<size_t>(e->Particles.Count());
        // An emitter with optional keys draws by its Life records while they are in step.
        const bool own = e->Life.Count() == e->Particles.Count() && pp::HasExtras(*e);
        const bool moving = own && e->Motion.Count() == e->Particles.Count();
        for (size_t i = 0; i < count; i += kRun) {
            const size_t n = std::min(kRun, count - i);
            stretches.push_back({e, e->Particles.First() + i, own ? e->Life.First() + i : nullptr,
                                 moving ? e->Motion.First() + i : nullptr, n, total});
            total += n;
        }
    }
    // Room for every particle's quad; what is left out is squeezed out below.
    elements.resize(total * Form::kPerQuad);
    scratch.Groups.resize(total);
    scratch.GroupCounts.resize(stretches.size());
    scratch.Quads.resize(stretches.size());
    const float dx = static_cast<float>(offsetX);
    const float dy = static_cast<float>(offsetY);
    typename Form::Element* const out = elements.data();
    Group* const groups = scratch.Groups.data();
    size_t* const groupCounts = scratch.GroupCounts.data();
    size_t* const quads = scratch.Quads.data();
    auto build = [&](size_t k) {
        const Stretch& s = stretches[k];
        groupCounts[k] = BuildStretch<Form>(s, dx, dy, out, groups + s.Base, quads[k]);
    };
    pp::WorkerPool* pool = engine.Workers;
    if (pool != nullptr && pool->Threads() > 1 && total >= kParallelBuildMin) {
        pool->Run(stretches.size(), build);
    } else {
        for (size_t k = 0; k < stretches.size(); ++k) build(k);
    }
    // Joined in order: each stretch's quads moved behind the ones before when some were left
    // out, its groups joined into runs of one sprite and blend pair.
    size_t done = 0;
    for (size_t k = 0; k < stretches.size(); ++k) {
        const Stretch& s = stretches[k];
        if (done != s.Base && quads[k] != 0) {
            std::memmove(out + done * Form::kPerQuad, out + s.Base * Form::kPerQuad,
                         quads[k] * Form::kPerQuad * sizeof(typename Form::Element));
        }
        for (size_t g = 0; g < groupCounts[k]; ++g) {
            const Group& group = groups[s.Base + g];
            const auto first = static_cast<uint32_t>(done * (Form::kPerQuad == 1 ? 1 : 6));
            const auto count = static_cast<uint32_t>(group.Quads * (Form::kPerQuad == 1 ? 1 : 6));
            VertexRun* last = runs.empty() ? nullptr : &runs.back();
            if (last != nullptr && last->Sprite == group.Sprite &&
                last->BlendSource == s.E->BlendSource &&
                last->BlendDestination == s.E->BlendDestination) {
                last->Count += count;
            } else {
                runs.push_back(
                    {group.Sprite, s.E->BlendSource, s.E->BlendDestination, first, count});
            }
            done += group.Quads;
        }
    }
    elements.resize(done * Form::kPerQuad);
    return {};
}

}  // namespace

Status BuildVertices(World& world, VertexArray& out, int32_t layer, int32_t offsetX,
                     int32_t offsetY) {
    return Build<VertexForm<6>>(world, out.Vertices, out.Runs, layer, offsetX, offsetY);
}

Status BuildIndexedVertices(World& world, IndexedVertexArray& out, int32_t layer, int32_t offsetX,
                            int32_t offsetY) {
    Status status = Build<VertexForm<4>>(world, out.Vertices, out.Runs, layer, offsetX, offsetY);
    const size_t quads = out.Vertices.size() / 4;
    size_t have = out.Indices.size() / 6;
    out.Indices.resize(quads * 6);
    for (; have < quads; ++have) {
        const auto base = static_cast<uint32_t>(have * 4);
        uint32_t* to = out.Indices.data() + have * 6;
        for (const uint32_t corner : {0u, 1u, 2u, 2u, 1u, 3u}) *to++ = base + corner;
    }
    return status;
}

Status BuildInstances(World& world, InstanceArray& out, int32_t layer, int32_t offsetX,
                      int32_t offsetY) {
    return Build<InstanceForm>(world, out.Instances, out.Runs, layer, offsetX, offsetY);
}

}  // namespace particleplayer

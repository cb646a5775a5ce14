// Many quad sprite draws in one call: the particle engine hands over a run of draws that share
// their blend factors, and each comes out exactly as its four single calls would draw it,
// without four calls, two table lookups and a library sine and cosine per quad.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/quad_geometry.h"

namespace pp {

// Draws as DrawParticles makes them, one array per field so that vector instructions take
// several draws at once: draw i is a Size[i] x Size[i] square of quad sprite Quad[i], turned
// by Degrees[i], with its top-left at (X[i], Y[i]) and Alpha[i].
struct QuadDrawRun {
    static constexpr size_t kCapacity = 512;
    alignas(64) int32_t Quad[kCapacity];
    alignas(64) float Degrees[kCapacity];
    alignas(64) int32_t Size[kCapacity];
    alignas(64) int32_t X[kCapacity];
    alignas(64) int32_t Y[kCapacity];
    alignas(64) int32_t Alpha[kCapacity];
};

// The angles of a run's draws in radians with their cosines and sines, worked out for the
// whole run before its vertices, several at a time.
struct RunAngles {
    alignas(64) float Radians[QuadDrawRun::kCapacity];
    alignas(64) float Cosines[QuadDrawRun::kCapacity];
    alignas(64) float Sines[QuadDrawRun::kCapacity];
};

inline void AnglesOfRun(const QuadDrawRun& run, size_t count, RunAngles& angles) {
    QuadRadiansMany(run.Degrees, count, angles.Radians);
    QuadCosSinMany(angles.Radians, count, angles.Cosines, angles.Sines);
}

// The corners of draw i of a run, width its Size and the height given, about its centre:
// the plain and the tinted vertex paths both take them from here.
inline void DrawCorners(const QuadDrawRun& run, const RunAngles& angles, size_t i, int32_t height,
                        CornerFloats& x, CornerFloats& y) {
    if (angles.Radians[i] == 0.0f) {
        RectangleCorners(run.Size[i], height, x, y);
    } else {
        TurnedCorners(run.Size[i], height, angles.Cosines[i], angles.Sines[i], x, y);
    }
}

// Calls group(quad, begin, end) for each stretch [begin, end) of the first count draws that
// share one quad sprite, in order: the vertex paths take a stretch at a time, as the table
// does not change within it.
template <class Group>
void ForEachQuadGroup(const QuadDrawRun& run, size_t count, Group&& group) {
    size_t i = 0;
    while (i < count) {
        const int32_t quad = run.Quad[i];
        size_t end = i + 1;
        while (end < count && run.Quad[end] == quad) ++end;
        group(quad, i, end);
        i = end;
    }
}

// The same as, for each of the first count draws in order, SetQuadBlending(source,
// destination); SetQuadSize(Quad, Size, Size); SetQuadAngle(Quad, Degrees, 0);
// DrawQuadSprite(Quad, X, Y, Alpha): the same vertices in the same order, the same blend
// factors, and each quad sprite left with the size, angle and corners of its last draw.
// count is at most QuadDrawRun::kCapacity.
void DrawQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run, size_t count);

// DrawQuadSprites split in two so that the vertex work can run on any thread: StageQuadSprites
// makes a run's vertices and touches nothing shared (no GL, no quad sprite table), and
// DrawStagedQuadSprites, on the thread that owns the GL context, then does exactly what
// DrawQuadSprites(Source, Destination, run, Draws) does, with the vertices made ahead.
struct StagedQuadRun {
    // Consecutive draws of one quad sprite: how many, how many of them show something (their
    // vertices follow those of the groups before), and the last draw's size and angle.
    struct Group {
        int32_t Quad;
        uint32_t Draws, Written;
        int32_t LastSize;
        float LastRadians, LastCos, LastSin;
    };
    int32_t Source = 0, Destination = 0;
    size_t Draws = 0, GroupCount = 0;
    Group Groups[QuadDrawRun::kCapacity];
    alignas(64) float Xy[QuadDrawRun::kCapacity * 8];
    alignas(64) uint8_t Alpha[QuadDrawRun::kCapacity * 4];
};
void StageQuadSprites(int32_t source, int32_t destination, const QuadDrawRun& run, size_t count,
                      StagedQuadRun& staged);
void DrawStagedQuadSprites(const StagedQuadRun& staged);

}  // namespace pp

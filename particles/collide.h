// Collide: lines that particles bounce off or die at, and OnCollide, the effect a hit starts.
// The rules, in 32-bit float in the written order, each update:
//   - the lines, in the order given: a Floor along y = Y and a Ceiling along y = Y, a Left and
//     a Right wall along x = X, a segment from (X1, Y1) to (X2, Y2); each number added to the
//     emitter's position unless the line's Screen is 1. A floor is met only from above (by a
//     particle moving down), a ceiling from below, a left wall from its right, a right wall
//     from its left; a segment from either side, and only between its ends. A segment whose
//     ends coincide is no line;
//   - the particle's move of the update, from p0 (its place before the move, after the
//     attachment) to p (its place after the move, the acceleration, Drag and the forces), is
//     tested against each line in turn: with n the line's unit normal towards the side it is
//     met from (a segment's turned to p0's side), s0 = (p0 - a) . n and s = (p - a) . n for a
//     point a of the line, the move meets it when s0 >= 0 and s < 0. The hit point is
//     h = p0 + t (p - p0) with t = s0 / (s0 - s); a segment needs (h - a) . d in [0, d . d],
//     d its direction;
//   - with Die = 1 the particle dies at h: its place becomes h, its velocity stays, and no
//     further line is tested;
//   - otherwise it bounces: p -= n (s (1 + Bounce)), the part of the move beyond the line
//     folded back and shortened as the speed is; with vn = v . n, the velocity becomes
//     (v - n vn) (1 - Friction) + n w, where w = -Bounce vn when vn < 0 (still moving into
//     the line) and vn otherwise. The next line tests the move from p0 to the new p;
//   - OnCollide starts at the first hit point of the update, with the velocity the particle
//     leaves the update with.
// Orbit mode ignores the lines. The bounce only shortens moves and speeds, so a particle's state
// stays finite; one whose sums overflow dies, as everywhere.
#pragma once

#include <array>
#include <cstdint>

#include "particles/particles.h"

namespace pp {

inline bool HasCollide(const ExtraParams& x) {
    return x.Collide.Count > 0;
}

// One line of one pass, in screen pixels.
struct CollideAt {
    float AX, AY;        // a point of the line, a segment's first end
    float DX, DY;        // a segment's direction (its second end less its first); 0 for the others
    float NX, NY;        // unit normal, towards the side the line is met from (a segment: either)
    float Length2;       // d . d for a segment, 0 for the endless lines
    float Bounce, Fold;  // Fold = 1 + Bounce
    float Keep;          // 1 - Friction
    bool Die, Segment;
};

struct CollideFrame {
    int32_t Count;
    std::array<CollideAt, kMaxCollideLines> Lines;
};

// The pass's lines for emitter e.
CollideFrame CollideOf(const Emitter& e);

// What a move met: whether it hit a line, whether the particle dies there, and the first hit.
struct CollideHit {
    bool Hit = false;
    bool Dies = false;
    float X = 0.0f, Y = 0.0f;
};

// The particle that moved from (x0, y0) to (x, y) and now has velocity (vx, vy), taken off the
// lines by the rules above.
CollideHit Collide(const CollideFrame& c, float x0, float y0, float& x, float& y, float& vx,
                   float& vy);

}  // namespace pp

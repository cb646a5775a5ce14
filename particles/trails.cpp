// The rings of places behind particles with a Trail, and the ribbons through them.
#include "particles/trails.h"

#include <cmath>

#include "runtime/convert.h"

namespace pp {
namespace {

// Every particle starts an empty ring; false when the rings cannot all be kept.
bool RebuildTrails(Emitter& e) {
    ListRemoveAll(e.Trail);
    const int64_t records = int64_t{e.Particles.Count()} * e.Extras.Trail.Points;
    if (records > INT32_MAX) return false;
    for (int64_t i = 0; i < records; ++i) {
        if (ListInsert(e.Trail) == nullptr) {
            ListRemoveAll(e.Trail);
            return false;
        }
    }
    return true;
}

}  // namespace

bool TrailsInStep(const Emitter& e) {
    return int64_t{e.Trail.Count()} == int64_t{e.Particles.Count()} * e.Extras.Trail.Points;
}

void AddTrailRing(Emitter& e, int32_t index) {
    const int32_t points = e.Extras.Trail.Points;
    const int32_t count = e.Particles.Count();
    if (int64_t{e.Trail.Count()} != int64_t{count - 1} * points) return;
    e.Trail.CursorToLast();
    for (int32_t i = 0; i < points; ++i) {
        if (ListInsert(e.Trail) == nullptr) return;
    }
    // Born inside the list rather than at its end: the rings of the particles after it move up
    // to make room for its own, so that every ring stays with its particle.
    const auto n = static_cast<size_t>(points);
    const auto from = static_cast<size_t>(index) * n;
    const auto total = static_cast<size_t>(e.Trail.Count());
    TrailPoint* const rings = e.Trail.First();
    if (from + n < total) {
        std::memmove(rings + from + n, rings + from, (total - n - from) * sizeof(TrailPoint));
        std::memset(static_cast<void*>(rings + from), 0, n * sizeof(TrailPoint));
    }
}

TrailPoint* BeginTrailPass(Emitter& e, int32_t now) {
    const int32_t points = e.Extras.Trail.Points;
    if (points <= 0) {
        if (e.Trail.Count() != 0) ListRemoveAll(e.Trail);
        return nullptr;
    }
    if (!TrailsInStep(e) && !RebuildTrails(e)) return nullptr;
    e.TrailHead = (e.TrailHead % points + 1) % points;
    e.TrailTime = now;
    return e.Trail.First();
}

void EndTrailPass(Emitter& e) {
    e.Trail.Truncate(e.Particles.Count() * e.Extras.Trail.Points);
}

int32_t TrailPlaces(const Emitter& e, int32_t index, TrailPoint* places) {
    const TrailParams& trail = e.Extras.Trail;
    const int32_t points = trail.Points;
    if (points <= 0 || index < 0 || index >= e.Particles.Count() || !TrailsInStep(e)) return 0;
    const TrailPoint* ring = e.Trail.First() + int64_t{index} * points;
    const int32_t head = e.TrailHead % points;
    const float longest = trail.Length * 1000.0f;
    int32_t n = 0;
    int32_t slot = head;
    for (int32_t j = 0; j < points; ++j, slot = slot == 0 ? points - 1 : slot - 1) {
        const TrailPoint& place = ring[slot];
        if (place.Set == 0) break;
        if (trail.Length > 0.0f &&
            static_cast<float>(ClockDiff(e.TrailTime, place.Time)) > longest) {
            break;
        }
        places[n++] = place;
    }
    return n;
}

void RibbonOf(const TrailParams& trail, const TrailPoint* places, int32_t count, float size,
              float transparency, float dx, float dy, TrailRibbon& ribbon) {
    ribbon.Count = count < 2 ? 0 : count;
    const float start = trail.Width > 0.0f ? trail.Width : size;
    const float last = static_cast<float>(count - 1);
    // A place with no direction of its own (it stands where its neighbours do) takes the one
    // before it; the first such place none.
    float nx = 0.0f;
    float ny = 0.0f;
    for (int32_t k = 0; k < ribbon.Count; ++k) {
        const float t = static_cast<float>(k) / last;
        const TrailPoint& newer = places[k == 0 ? 0 : k - 1];
        const TrailPoint& older = places[k == count - 1 ? k : k + 1];
        const float tx = newer.X - older.X;
        const float ty = newer.Y - older.Y;
        const float length = std::sqrt(tx * tx + ty * ty);
        if (length > 0.0f && std::isfinite(length)) {
            nx = -ty / length;
            ny = tx / length;
        }
        const float half = (start + (trail.EndWidth - start) * t) * 0.5f;
        const float x = dx + places[k].X;
        const float y = dy + places[k].Y;
        ribbon.LeftX[k] = x + nx * half;
        ribbon.LeftY[k] = y + ny * half;
        ribbon.RightX[k] = x - nx * half;
        ribbon.RightY[k] = y - ny * half;
        ribbon.Along[k] = t;
        ribbon.Opacity[k] = transparency * (1.0f - trail.Fade * t);
        ribbon.Shade[k] = 1.0f - trail.Darken * t;
    }
}

}  // namespace pp

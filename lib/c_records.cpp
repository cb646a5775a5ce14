// The C records filled from the C++ ones: particle lists by copying bytes (the layouts are
// checked equal here), parameters and optional keys member by member.
#include "lib/c_records.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>

// The C particle is the C++ one field for field, so a list converts by copying bytes.
#define PP_SAME_PARTICLE_FIELD(c, cpp)                                                   \
    static_assert(offsetof(pp_particle, c) == offsetof(particleplayer::Particle, cpp) && \
                  sizeof(pp_particle::c) == sizeof(particleplayer::Particle::cpp))
static_assert(sizeof(pp_particle) == sizeof(particleplayer::Particle));
PP_SAME_PARTICLE_FIELD(sprite, Sprite);
PP_SAME_PARTICLE_FIELD(size, Size);
PP_SAME_PARTICLE_FIELD(x, X);
PP_SAME_PARTICLE_FIELD(y, Y);
PP_SAME_PARTICLE_FIELD(velocity_x, VelocityX);
PP_SAME_PARTICLE_FIELD(velocity_y, VelocityY);
PP_SAME_PARTICLE_FIELD(transparency, Transparency);
PP_SAME_PARTICLE_FIELD(death_time, DeathTime);
PP_SAME_PARTICLE_FIELD(angle, Angle);
PP_SAME_PARTICLE_FIELD(rotation_step, RotationStep);
#undef PP_SAME_PARTICLE_FIELD

pp_status GiveParticles(const std::vector<particleplayer::Particle>& from,
                        const std::vector<int32_t>* marks, pp_particle* out, int32_t* startedAs,
                        size_t capacity, size_t* count) {
    const size_t n = std::min(capacity, from.size());
    if (n != 0) std::memcpy(out, from.data(), n * sizeof(pp_particle));
    if (n != 0 && marks != nullptr && startedAs != nullptr) {
        std::copy_n(marks->begin(), n, startedAs);
    }
    *count = from.size();
    return PP_OK;
}

namespace {

// One parameter in its C form.
int32_t CValue(int32_t value) {
    return value;
}
float CValue(float value) {
    return value;
}
pp_value_range CValue(const particleplayer::ValueRange& r) {
    return {r.Min, r.Max, r.Inc};
}
pp_int_value_range CValue(const particleplayer::IntValueRange& r) {
    return {r.Min, r.Max, r.Inc};
}

// One optional key's field in its C form.
void ToC(float& to, float from) {
    to = from;
}
void ToC(int32_t& to, int32_t from) {
    to = from;
}
void ToC(float (&to)[3], const std::array<float, 3>& from) {
    std::copy(from.begin(), from.end(), to);
}
void ToC(pp_curve& to, const particleplayer::LifeCurve<1>& from) {
    to.count = from.Count;
    for (size_t k = 0; k < 8; ++k) {
        to.time[k] = from.Time[k];
        to.value[k] = from.Value[k][0];
    }
}
void ToC(pp_colour_curve& to, const particleplayer::LifeCurve<3>& from) {
    to.count = from.Count;
    for (size_t k = 0; k < 8; ++k) {
        to.time[k] = from.Time[k];
        std::copy(from.Value[k].begin(), from.Value[k].end(), to.value[k]);
    }
}
void ToC(pp_sub_effect& to, const particleplayer::SubEffect& from) {
    to = {from.Set ? 1 : 0, from.Count, from.Inherit, from.Effect};
}
void ToC(pp_motion_value& to, const particleplayer::MotionValue& from) {
    to = {from.Set ? 1 : 0, from.Min, from.Max, from.Inc};
}
void ToC(pp_motion_colour& to, const particleplayer::MotionColour& from) {
    to.set = from.Set ? 1 : 0;
    std::copy(from.Value.begin(), from.Value.end(), to.value);
}
void ToC(pp_force_point& to, const particleplayer::ForcePoint& f) {
    to = {f.X, f.Y, f.Strength, f.Radius, f.Falloff, f.Screen};
}
void ToC(pp_turbulence& to, const particleplayer::TurbulenceField& t) {
    to = {t.Strength, t.Scale, t.Speed, t.Seed};
}
void ToC(pp_trail& to, const particleplayer::Trail& r) {
    to = {r.Points, r.Length, r.Width, r.EndWidth, r.Fade, r.Darken, r.Behind};
}
void ToC(pp_drawn_range& to, const particleplayer::DrawnRange& r) {
    to = {r.Min, r.Max, r.Step};
}
// The first lines, as many as the record has room for.
void ToC(int32_t& count, pp_collide_line (&lines)[PP_MAX_COLLIDE_LINES],
         const std::vector<particleplayer::CollideLine>& from) {
    count = 0;
    for (const particleplayer::CollideLine& l : from) {
        if (count == PP_MAX_COLLIDE_LINES) break;
        lines[count++] = {static_cast<int32_t>(l.Shape),
                          l.A,
                          l.B,
                          l.C,
                          l.D,
                          l.Bounce,
                          l.Friction,
                          l.Die,
                          l.Screen};
    }
}
// A list of at most 16 paths, so its count fits.
void ToC(int32_t& count, const std::vector<std::string>& from) {
    count = static_cast<int32_t>(from.size());
}

// Which C fields a row's KIND gives: one, none (the C++-only kinds), or a list's count and
// array.
#define PP_C_SHAPE_FLOAT ONE
#define PP_C_SHAPE_INT ONE
#define PP_C_SHAPE_COLOUR ONE
#define PP_C_SHAPE_CURVE1 ONE
#define PP_C_SHAPE_CURVE3 ONE
#define PP_C_SHAPE_SUB_EFFECT ONE
#define PP_C_SHAPE_STRING NONE
#define PP_C_SHAPE_MOTION_VALUE ONE
#define PP_C_SHAPE_MOTION_COLOUR ONE
#define PP_C_SHAPE_FORCE ONE
#define PP_C_SHAPE_TURBULENCE ONE
#define PP_C_SHAPE_COLLIDE_LIST LIST
#define PP_C_SHAPE_TRAIL ONE
#define PP_C_SHAPE_FORCE_LIST NONE
#define PP_C_SHAPE_STRING_LIST ONE
#define PP_C_SHAPE_DRAWN_RANGE ONE
#define PP_C_JOIN(a, b) PP_C_JOIN_NOW(a, b)
#define PP_C_JOIN_NOW(a, b) a##b
#define PP_C_BY_SHAPE(what, kind) PP_C_JOIN(what, PP_C_SHAPE_##kind)

#define PP_TO_C_ONE(name, cName) ToC(out.cName, x.name);
#define PP_TO_C_NONE(name, cName)
#define PP_TO_C_LIST(name, cName) ToC(out.cName##_count, out.cName, x.name);
#define PP_TO_C(kind, name, cName, ...) PP_C_BY_SHAPE(PP_TO_C_, kind)(name, cName)

// The C record's layout as programs built against it know it, every field's offset in order
// and the whole size: a row added anywhere but at the end, or of another size, stops the build.
#define PP_C_OFFSET_ONE(cName) offsetof(pp_effect_extras, cName),
#define PP_C_OFFSET_NONE(cName)
#define PP_C_OFFSET_LIST(cName) offsetof(pp_effect_extras, cName##_count), PP_C_OFFSET_ONE(cName)
#define PP_C_OFFSET(kind, name, cName, ...) PP_C_BY_SHAPE(PP_C_OFFSET_, kind)(cName)
constexpr size_t kExtrasOffsets[] = {PARTICLEPLAYER_EFFECT_EXTRAS_C_ORDER(PP_C_OFFSET)};
constexpr size_t kReleasedExtrasOffsets[] = {
    0,    12,   144,  212,  280,  284,  288,  292,  296,  300,  304,  308,  312,  316,  320,  324,
    328,  344,  360,  376,  392,  408,  424,  440,  456,  472,  488,  508,  528,  548,  568,  572,
    576,  580,  584,  608,  632,  648,  652,  940,  956,  960,  964,  992,  996,  1000, 1004, 1008,
    1076, 1144, 1212, 1280, 1348, 1352, 1356, 1424, 1492, 1560, 1628, 1632, 1644, 1656};
static_assert(std::size(kExtrasOffsets) >= std::size(kReleasedExtrasOffsets) &&
              std::equal(std::begin(kReleasedExtrasOffsets), std::end(kReleasedExtrasOffsets),
                         std::begin(kExtrasOffsets)));
static_assert(sizeof(pp_effect_extras) >= 1668);
#undef PP_C_OFFSET
#undef PP_C_OFFSET_LIST
#undef PP_C_OFFSET_NONE
#undef PP_C_OFFSET_ONE

}  // namespace

pp_effect_params CParams(const particleplayer::EffectParams& p) {
    pp_effect_params c{};
#define PP_C_PARAM(kind, name, cName, doc, ...) c.cName = CValue(p.name);
    PARTICLEPLAYER_EFFECT_PARAMS(PP_C_PARAM)
#undef PP_C_PARAM
    return c;
}

pp_effect_extras CExtras(const particleplayer::EffectExtras& x) {
    pp_effect_extras out{};
    PARTICLEPLAYER_EFFECT_EXTRAS(PP_TO_C)
    return out;
}

// The C records filled from the C++ ones: particle lists by copying bytes (the layouts are
// checked equal here), parameters and optional keys member by member.
#include "lib/c_records.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "lib/motion_fields.h"

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

pp_sub_effect CSubEffect(const particleplayer::SubEffect& sub) {
    return {sub.Set ? 1 : 0, sub.Count, sub.Inherit, sub.Effect};
}

pp_motion_value CMotion(const particleplayer::MotionValue& v) {
    return {v.Set ? 1 : 0, v.Min, v.Max, v.Inc};
}
pp_motion_colour CMotion(const particleplayer::MotionColour& c) {
    return {c.Set ? 1 : 0, {c.Value[0], c.Value[1], c.Value[2], c.Value[3]}};
}

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
    std::copy(x.Colour.begin(), x.Colour.end(), out.colour);
    const auto curve = [](const particleplayer::LifeCurve<1>& from, pp_curve& to) {
        to.count = from.Count;
        for (size_t k = 0; k < 8; ++k) {
            to.time[k] = from.Time[k];
            to.value[k] = from.Value[k][0];
        }
    };
    out.colour_over_life.count = x.ColourOverLife.Count;
    for (size_t k = 0; k < 8; ++k) {
        out.colour_over_life.time[k] = x.ColourOverLife.Time[k];
        std::copy(x.ColourOverLife.Value[k].begin(), x.ColourOverLife.Value[k].end(),
                  out.colour_over_life.value[k]);
    }
    curve(x.SizeOverLife, out.size_over_life);
    curve(x.TransparencyOverLife, out.transparency_over_life);
    out.drag = x.Drag;
    out.spin = x.Spin;
    out.sheet_columns = x.SheetColumns;
    out.sheet_rows = x.SheetRows;
    out.sheet_frames = x.SheetFrames;
    out.sheet_rate = x.SheetRate;
    out.sheet_random = x.SheetRandom;
    out.burst_count = x.BurstCount;
    out.burst_interval = x.BurstInterval;
    out.burst_repeat = x.BurstRepeat;
    out.duration = x.Duration;
    out.prewarm = x.Prewarm;
    out.on_birth = CSubEffect(x.OnBirth);
    out.on_death = CSubEffect(x.OnDeath);
    auto force = [](const particleplayer::ForcePoint& f) {
        return pp_force_point{f.X, f.Y, f.Strength, f.Radius, f.Falloff, f.Screen};
    };
#define PP_C_MOTION(name, c_name) out.c_name = CMotion(x.name);
    PP_MOTION_FIELDS(PP_C_MOTION)
#undef PP_C_MOTION
    out.align_to_motion = x.AlignToMotion;
    out.max_alive = x.MaxAlive;
    out.attached = x.Attached;
    out.aspect = x.Aspect;
    out.attractor = force(x.Attractor);
    out.vortex = force(x.Vortex);
    const particleplayer::TurbulenceField& t = x.Turbulence;
    out.turbulence = pp_turbulence{t.Strength, t.Scale, t.Speed, t.Seed};
    for (const particleplayer::CollideLine& l : x.Collide) {
        if (out.collide_count == PP_MAX_COLLIDE_LINES) break;
        out.collide[out.collide_count++] = {static_cast<int32_t>(l.Shape),
                                            l.A,
                                            l.B,
                                            l.C,
                                            l.D,
                                            l.Bounce,
                                            l.Friction,
                                            l.Die,
                                            l.Screen};
    }
    out.on_collide = CSubEffect(x.OnCollide);
    out.delay = x.Delay;
    out.min_alive = x.MinAlive;
    const particleplayer::Trail& r = x.Trail;
    out.trail = {r.Points, r.Length, r.Width, r.EndWidth, r.Fade, r.Darken, r.Behind};
    out.stretch_factor = x.StretchFactor;
    out.stretch_max = x.StretchMax;
    out.emit_along_path = x.EmitAlongPath;
    out.emit_by_distance = x.EmitByDistance;
    curve(x.SpeedOverLife, out.speed_over_life);
    curve(x.TurnOverLife, out.turn_over_life);
    curve(x.AngleOverLife, out.angle_over_life);
    curve(x.DriftXOverLife, out.drift_x_over_life);
    curve(x.DriftYOverLife, out.drift_y_over_life);
    out.sprite_mode = x.SpriteMode;
    out.sprite_file_count = static_cast<int32_t>(x.SpriteFiles.size());
    curve(x.EmissionOverDuration, out.emission_over_duration);
    curve(x.LifeOverDuration, out.life_over_duration);
    curve(x.WidthOverDuration, out.width_over_duration);
    curve(x.HeightOverDuration, out.height_over_duration);
    out.continuous = x.Continuous;
    auto range = [](const particleplayer::DrawnRange& r) {
        return pp_drawn_range{r.Min, r.Max, r.Step};
    };
    out.life_offset = range(x.LifeOffset);
    out.birth_offset_x = range(x.BirthOffsetX);
    out.birth_offset_y = range(x.BirthOffsetY);
    return out;
}

// The motion keys of EffectExtras, one row each: the field's name in the engine's MotionParams
// and the public EffectExtras (the same), and in the C record. The library's conversions are
// written from it, so the three records cannot drift apart.
#pragma once

#define PP_MOTION_FIELDS(X)                            \
    X(RadialAcceleration, radial_acceleration)         \
    X(TangentialAcceleration, tangential_acceleration) \
    X(OrbitRadius, orbit_radius)                       \
    X(OrbitEndRadius, orbit_end_radius)                \
    X(OrbitSpin, orbit_spin)                           \
    X(EndSize, end_size)                               \
    X(Angle, angle)                                    \
    X(EndAngle, end_angle)                             \
    X(StartColour, start_colour)                       \
    X(StartColourVariance, start_colour_variance)      \
    X(EndColour, end_colour)                           \
    X(EndColourVariance, end_colour_variance)

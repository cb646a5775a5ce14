/* The public fields of an effect's optional keys, one row each: the one list that the C++
 * record (particleplayer/effect_extras.h's EffectExtras), the C record (particleplayer.h's
 * pp_effect_extras), the library's conversions into them and inspect's JSON are written from,
 * so a new field is one row here. Usable from C and C++.
 *
 * PARTICLEPLAYER_EFFECT_EXTRAS(X) calls X(KIND, Name, c_name, SHOWN, "description", default)
 * once per field in the C++ record's order, where KIND is one of
 *   FLOAT          a float
 *   INT            a 32-bit integer
 *   COLOUR         red, green, blue, 0 to 255 (C: float[3])
 *   CURVE1         a LifeCurve<1> (C: pp_curve)
 *   CURVE3         a LifeCurve<3> of red, green, blue (C: pp_colour_curve)
 *   SUB_EFFECT     a SubEffect (C: pp_sub_effect)
 *   STRING         a path, C++ only (C has pp_world_sprite_file)
 *   MOTION_VALUE   a MotionValue (C: pp_motion_value)
 *   MOTION_COLOUR  a MotionColour (C: pp_motion_colour)
 *   FORCE          a ForcePoint (C: pp_force_point)
 *   TURBULENCE     a TurbulenceField (C: pp_turbulence)
 *   COLLIDE_LIST   CollideLines (C: int32_t c_name_count and pp_collide_line
 *                  c_name[PP_MAX_COLLIDE_LINES], the first ones)
 *   TRAIL          a Trail (C: pp_trail)
 *   FORCE_LIST     ForcePoints, C++ only
 *   STRING_LIST    paths (C: their count, int32_t c_name)
 *   DRAWN_RANGE    a DrawnRange (C: pp_drawn_range)
 * SHOWN is how `particleplayer inspect` lists the field under its Name:
 *   ALWAYS         always
 *   GIVEN          only when the effect gives it: a number other than 0, a curve with keys, a
 *                  motion key the file sets, a trail with points, any other value unlike its
 *                  record's default
 *   NEVER          not at all
 *   WITH(Field)    when Field is given
 *   IN(Key)        always, inside the object Key with the other fields of that key, under
 *                  the names the key's own fields have
 * and the default is that of an effect that no optional key has set; a record's or a list's
 * is {}, its own type's.
 *
 * The C record holds Delay and MinAlive after OnCollide, so PARTICLEPLAYER_EFFECT_EXTRAS_C_ORDER(X)
 * gives the same rows in its order. Both records grow at their end only: a new row goes at the
 * end of PARTICLEPLAYER_EXTRAS_LAST. */
#ifndef PARTICLEPLAYER_EFFECT_EXTRAS_LIST_H
#define PARTICLEPLAYER_EFFECT_EXTRAS_LIST_H

/* Colour to the sprite sheet and the sub-effects, the motion keys, the first force points. */
#define PARTICLEPLAYER_EXTRAS_FIRST(X)                                                             \
    X(COLOUR, Colour, colour, ALWAYS, "Multiplies the sprite's red, green, blue.", 255.0f, 255.0f, \
      255.0f)                                                                                      \
    X(CURVE3, ColourOverLife, colour_over_life, ALWAYS,                                            \
      "Multiplies Colour over each particle's life.", {})                                          \
    X(CURVE1, SizeOverLife, size_over_life, ALWAYS, "Multiplies the drawn size over the life.",    \
      {})                                                                                          \
    X(CURVE1, TransparencyOverLife, transparency_over_life, ALWAYS,                                \
      "Multiplies the drawn transparency over the life.", {})                                      \
    X(FLOAT, Drag, drag, ALWAYS, "Fraction of the speed lost per second.", 0.0f)                   \
    X(FLOAT, Spin, spin, ALWAYS, "Degrees per second, beside Rotation's step.", 0.0f)              \
    X(INT, SheetColumns, sheet_columns, IN(SpriteSheet),                                           \
      "Sprite sheet: cells across the texture.", 1)                                                \
    X(INT, SheetRows, sheet_rows, IN(SpriteSheet), "Sprite sheet: cells down the texture.", 1)     \
    X(INT, SheetFrames, sheet_frames, IN(SpriteSheet),                                             \
      "Sprite sheet: frames shown; 0 is no sheet.", 0)                                             \
    X(FLOAT, SheetRate, sheet_rate, IN(SpriteSheet),                                               \
      "Sprite sheet: frames per second; 0 spreads them over the life.", 0.0f)                      \
    X(INT, SheetRandom, sheet_random, IN(SpriteSheet),                                             \
      "Sprite sheet: 1 starts each particle on a random frame.", 0)                                \
    X(INT, BurstCount, burst_count, IN(Burst),                                                     \
      "Particles per burst, in place of the steady rate; 0 is none.", 0)                           \
    X(FLOAT, BurstInterval, burst_interval, IN(Burst), "Seconds between bursts.", 0.0f)            \
    X(INT, BurstRepeat, burst_repeat, IN(Burst), "Bursts in all; 0 is forever.", 0)                \
    X(FLOAT, Duration, duration, ALWAYS, "Seconds of emission after creation; 0 is no end.", 0.0f) \
    X(FLOAT, Prewarm, prewarm, ALWAYS, "Seconds run while loading.", 0.0f)                         \
    X(SUB_EFFECT, OnBirth, on_birth, ALWAYS, "Started where each particle is born.", {})           \
    X(SUB_EFFECT, OnDeath, on_death, ALWAYS, "Started where each particle dies.", {})              \
    X(STRING, SpriteFile, sprite_file, GIVEN,                                                      \
      "The image the SpriteFile key names, as opened (relative to the working directory, or "      \
      "absolute); empty for none. Its number is in the effect's Sprite parameters.",               \
      "")                                                                                          \
    X(MOTION_VALUE, RadialAcceleration, radial_acceleration, GIVEN,                                \
      "Pixels per second squared, away from the origin.", {})                                      \
    X(MOTION_VALUE, TangentialAcceleration, tangential_acceleration, GIVEN,                        \
      "Pixels per second squared, clockwise about the origin.", {})                                \
    X(MOTION_VALUE, OrbitRadius, orbit_radius, GIVEN, "Orbit mode: pixels at birth.", {})          \
    X(MOTION_VALUE, OrbitEndRadius, orbit_end_radius, GIVEN, "Orbit mode: pixels at death.", {})   \
    X(MOTION_VALUE, OrbitSpin, orbit_spin, GIVEN, "Orbit mode: degrees per second, clockwise.",    \
      {})                                                                                          \
    X(MOTION_VALUE, EndSize, end_size, GIVEN, "Pixels drawn at death.", {})                        \
    X(MOTION_VALUE, Angle, angle, GIVEN, "The sprite's angle at birth, degrees.", {})              \
    X(MOTION_VALUE, EndAngle, end_angle, GIVEN, "The sprite's angle at death, degrees.", {})       \
    X(MOTION_COLOUR, StartColour, start_colour, GIVEN, "Colour and opacity at birth.", {})         \
    X(MOTION_COLOUR, StartColourVariance, start_colour_variance, GIVEN,                            \
      "Plus or minus, per particle and channel.", {})                                              \
    X(MOTION_COLOUR, EndColour, end_colour, GIVEN, "Colour and opacity at death.", {})             \
    X(MOTION_COLOUR, EndColourVariance, end_colour_variance, GIVEN,                                \
      "Plus or minus, per particle and channel.", {})                                              \
    X(INT, AlignToMotion, align_to_motion, GIVEN,                                                  \
      "1: sprites turned to their direction of travel.", 0)                                        \
    X(INT, MaxAlive, max_alive, GIVEN, "At most this many live particles; 0 is no cap.", 0)        \
    X(INT, Attached, attached, GIVEN, "1: particles move with their emitter.", 0)                  \
    X(FLOAT, Aspect, aspect, GIVEN, "Width over height of the drawn quads; 0: squares.", 0.0f)     \
    X(FORCE, Attractor, attractor, NEVER, "The first point pulling particles towards it.", {})     \
    X(FORCE, Vortex, vortex, NEVER, "The first point turning particles about it.", {})

/* The start of emission. */
#define PARTICLEPLAYER_EXTRAS_START(X)                                                    \
    X(FLOAT, Delay, delay, GIVEN, "Seconds after creation before emission starts.", 0.0f) \
    X(INT, MinAlive, min_alive, GIVEN, "Births each emitting frame up to this many alive.", 0)

/* The noise field and the collision lines. */
#define PARTICLEPLAYER_EXTRAS_MIDDLE(X)                                                         \
    X(TURBULENCE, Turbulence, turbulence, GIVEN, "A noise field that carries particles along.", \
      {})                                                                                       \
    X(COLLIDE_LIST, Collide, collide, GIVEN, "The lines particles collide with, in order.", {}) \
    X(SUB_EFFECT, OnCollide, on_collide, GIVEN, "Started where a particle hits a line.", {})

/* Trails and stretching, emission along a move, every force point, motion over the life, the
 * sprite list, curves over the Duration and the offsets drawn at birth. */
#define PARTICLEPLAYER_EXTRAS_LAST(X)                                                              \
    X(TRAIL, Trail, trail, GIVEN, "The ribbon behind each particle.", {})                          \
    X(FLOAT, StretchFactor, stretch_factor, GIVEN,                                                 \
      "Quads' width grows by this many sizes per px/s.", 0.0f)                                     \
    X(FLOAT, StretchMax, stretch_max, WITH(StretchFactor),                                         \
      "Quads stretched to at most this many sizes.", 1000.0f)                                      \
    X(INT, EmitAlongPath, emit_along_path, GIVEN, "1: births spread along the emitter's move.", 0) \
    X(FLOAT, EmitByDistance, emit_by_distance, GIVEN,                                              \
      "Births per 100 px moved, in place of the rate.", 0.0f)                                      \
    X(FORCE_LIST, Attractors, attractors, NEVER,                                                   \
      "Every point of the Attractor key, in the order written (at most 8); Attractor is the "      \
      "first. They act in this order, before the Vortex points.",                                  \
      {})                                                                                          \
    X(FORCE_LIST, Vortices, vortices, NEVER,                                                       \
      "Every point of the Vortex key, in the order written (at most 8); Vortex is the first.", {}) \
    X(CURVE1, SpeedOverLife, speed_over_life, GIVEN,                                               \
      "Multiplies the velocity a particle moves with over its life.", {})                          \
    X(CURVE1, TurnOverLife, turn_over_life, GIVEN,                                                 \
      "Degrees its direction of travel turns over its life.", {})                                  \
    X(CURVE1, AngleOverLife, angle_over_life, GIVEN,                                               \
      "Share of the way from Angle to EndAngle over the life.", {})                                \
    X(CURVE1, DriftXOverLife, drift_x_over_life, GIVEN,                                            \
      "Pixels per second added to the move in x over the life.", {})                               \
    X(CURVE1, DriftYOverLife, drift_y_over_life, GIVEN,                                            \
      "Pixels per second added to the move in y over the life.", {})                               \
    X(INT, SpriteMode, sprite_mode, GIVEN,                                                         \
      "How a particle picks among SpriteFiles: 0 the first, 1 a random one at its birth, 2 each "  \
      "in turn over its life.",                                                                    \
      0)                                                                                           \
    X(STRING_LIST, SpriteFiles, sprite_file_count, GIVEN,                                          \
      "Every image of a SpriteFile list of more than one, as opened, in the order written (at "    \
      "most 16); SpriteFile is the first. Empty for one image or none. Their numbers are in "      \
      "World::SpriteFiles (C: pp_world_sprite_file).",                                             \
      {})                                                                                          \
    X(CURVE1, EmissionOverDuration, emission_over_duration, GIVEN,                                 \
      "Multiplies the emission rate over the Duration.", {})                                       \
    X(CURVE1, LifeOverDuration, life_over_duration, GIVEN,                                         \
      "Multiplies the lifetime of particles born then.", {})                                       \
    X(CURVE1, WidthOverDuration, width_over_duration, GIVEN,                                       \
      "Multiplies the emission area's width then.", {})                                            \
    X(CURVE1, HeightOverDuration, height_over_duration, GIVEN,                                     \
      "Multiplies the emission area's height then.", {})                                           \
    X(INT, Continuous, continuous, GIVEN, "1: the Duration repeats, Delay before each cycle.", 0)  \
    X(DRAWN_RANGE, LifeOffset, life_offset, GIVEN, "Seconds of life already lived at birth.", {})  \
    X(DRAWN_RANGE, BirthOffsetX, birth_offset_x, GIVEN, "Pixels added to the birth x.", {})        \
    X(DRAWN_RANGE, BirthOffsetY, birth_offset_y, GIVEN, "Pixels added to the birth y.", {})

/* Every row in the C++ record's order. */
#define PARTICLEPLAYER_EFFECT_EXTRAS(X) \
    PARTICLEPLAYER_EXTRAS_FIRST(X)      \
    PARTICLEPLAYER_EXTRAS_START(X)      \
    PARTICLEPLAYER_EXTRAS_MIDDLE(X)     \
    PARTICLEPLAYER_EXTRAS_LAST(X)

/* Every row in the C record's order. */
#define PARTICLEPLAYER_EFFECT_EXTRAS_C_ORDER(X) \
    PARTICLEPLAYER_EXTRAS_FIRST(X)              \
    PARTICLEPLAYER_EXTRAS_MIDDLE(X)             \
    PARTICLEPLAYER_EXTRAS_START(X)              \
    PARTICLEPLAYER_EXTRAS_LAST(X)

#endif /* PARTICLEPLAYER_EFFECT_EXTRAS_LIST_H */

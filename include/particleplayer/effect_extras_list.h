/* The public fields of an effect's optional keys, one row each: the one list that the C++
 * record (particleplayer/effect_extras.h's EffectExtras), the C record (particleplayer.h's
 * pp_effect_extras), the library's conversions into them, inspect's JSON and the key table's
 * descriptions of these keys are written from. Usable from C and C++.
 *
 * PARTICLEPLAYER_EFFECT_EXTRAS(X) calls X(KIND, Name, c_name, SHOWN, KEY, "description",
 * default) once per field in the C++ record's order, where KIND is one of
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
 * KEY is one of
 *   KEY(limits)    the field is the whole value of the effect key of the same Name, and the
 *                  description is that key's, as particleplayer/key_table.h, `check` and
 *                  `inspect` show it; the field's KIND says how the key's value is read, and
 *                  the limits how it is held: for FLOAT, INT and CURVE1 (the curve's values)
 *                  and MOTION_VALUE (both bounds), Min, Max; for MOTION_COLOUR, the value of
 *                  a channel the file leaves out; for DRAWN_RANGE, Min, Max, the least Step;
 *                  none for the other kinds, whose blocks have their own fields
 *   FIELD          the field is part of a key's value or more than it (a sprite sheet's
 *                  columns, the first force point, the opened sprite file), and the
 *                  description is the field's own; the keys that set it describe themselves
 *                  in the key table
 * and the default is that of an effect that no optional key has set; a record's or a list's
 * is {}, its own type's.
 *
 * A new optional key is one KEY row at the end of PARTICLEPLAYER_EXTRAS_LAST (its name, kind,
 * limits, description and default), the engine's field of its Name (particles/extra_params.h)
 * and the engine code that acts on the field. The loader, `check`, `inspect`, the editor, the
 * fuzz targets and both public records read the row; the build stops while the engine lacks
 * the field or its default differs from the row's.
 *
 * The C record holds Delay and MinAlive after OnCollide, so PARTICLEPLAYER_EFFECT_EXTRAS_C_ORDER(X)
 * gives the same rows in its order. Both records grow at their end only: a new row goes at the
 * end of PARTICLEPLAYER_EXTRAS_LAST. */
#ifndef PARTICLEPLAYER_EFFECT_EXTRAS_LIST_H
#define PARTICLEPLAYER_EFFECT_EXTRAS_LIST_H

/* Limits that several keys share. Curves multiply by at most PP_MAX_LIFE_FACTOR. Seconds stay
 * below PP_MAX_SECONDS (with Delay and Duration together below 2^31 ms), so that the ends of
 * emission are clock differences read exactly. The motion amounts are far beyond any effect's
 * use and small enough that no sum of them overflows a float. */
#define PP_MAX_LIFE_FACTOR 1000.0f
#define PP_MAX_SECONDS 1.0e6f
#define PP_MAX_MOTION_AMOUNT 1.0e6f
/* The widest quad over its height Aspect asks for (and its inverse the tallest). */
#define PP_MAX_ASPECT 100.0f
/* The most particles MaxAlive caps an effect at. */
#define PP_MAX_ALIVE_CAP 1000000000
/* The most particles one burst, one MinAlive top-up or one started sub-effect gives. */
#define PP_MAX_BURST_COUNT 1000
/* The longest Prewarm: the load runs the emitter this many seconds at most. */
#define PP_MAX_PREWARM_SECONDS 10.0f

/* Colour to the sprite sheet and the sub-effects, the motion keys, the first force points. */
#define PARTICLEPLAYER_EXTRAS_FIRST(X)                                                             \
    X(COLOUR, Colour, colour, ALWAYS, KEY(),                                                       \
      "Multiplies the sprite's red, green and blue, 0 to 255 each.", 255.0f, 255.0f, 255.0f)       \
    X(CURVE3, ColourOverLife, colour_over_life, ALWAYS, KEY(),                                     \
      "A colour over each particle's life, multiplying Colour.", {})                               \
    X(CURVE1, SizeOverLife, size_over_life, ALWAYS, KEY(0.0f, PP_MAX_LIFE_FACTOR),                 \
      "A factor over each particle's life, multiplying its drawn size.", {})                       \
    X(CURVE1, TransparencyOverLife, transparency_over_life, ALWAYS, KEY(0.0f, PP_MAX_LIFE_FACTOR), \
      "A factor over each particle's life, multiplying its drawn opacity.", {})                    \
    X(FLOAT, Drag, drag, ALWAYS, KEY(0.0f, 1000.0f), "Fraction of the speed lost per second.",     \
      0.0f)                                                                                        \
    X(FLOAT, Spin, spin, ALWAYS, KEY(-1.0e6f, 1.0e6f),                                             \
      "Turn in degrees per second, beside Rotation's per-frame step.", 0.0f)                       \
    X(INT, SheetColumns, sheet_columns, IN(SpriteSheet), FIELD,                                    \
      "Sprite sheet: cells across the texture.", 1)                                                \
    X(INT, SheetRows, sheet_rows, IN(SpriteSheet), FIELD, "Sprite sheet: cells down the texture.", \
      1)                                                                                           \
    X(INT, SheetFrames, sheet_frames, IN(SpriteSheet), FIELD,                                      \
      "Sprite sheet: frames shown; 0 is no sheet.", 0)                                             \
    X(FLOAT, SheetRate, sheet_rate, IN(SpriteSheet), FIELD,                                        \
      "Sprite sheet: frames per second; 0 spreads them over the life.", 0.0f)                      \
    X(INT, SheetRandom, sheet_random, IN(SpriteSheet), FIELD,                                      \
      "Sprite sheet: 1 starts each particle on a random frame.", 0)                                \
    X(INT, BurstCount, burst_count, IN(Burst), FIELD,                                              \
      "Particles per burst, in place of the steady rate; 0 is none.", 0)                           \
    X(FLOAT, BurstInterval, burst_interval, IN(Burst), FIELD, "Seconds between bursts.", 0.0f)     \
    X(INT, BurstRepeat, burst_repeat, IN(Burst), FIELD, "Bursts in all; 0 is forever.", 0)         \
    X(FLOAT, Duration, duration, ALWAYS, KEY(0.0f, PP_MAX_SECONDS),                                \
      "Seconds of emission after creation; 0 is no end.", 0.0f)                                    \
    X(FLOAT, Prewarm, prewarm, ALWAYS, KEY(0.0f, PP_MAX_PREWARM_SECONDS),                          \
      "Seconds run while loading, so that the effect starts full.", 0.0f)                          \
    X(SUB_EFFECT, OnBirth, on_birth, ALWAYS, KEY(),                                                \
      "An effect started where each particle is born.", {})                                        \
    X(SUB_EFFECT, OnDeath, on_death, ALWAYS, KEY(), "An effect started where each particle dies.", \
      {})                                                                                          \
    X(STRING, SpriteFile, sprite_file, GIVEN, FIELD,                                               \
      "The image the SpriteFile key names, as opened (relative to the working directory, or "      \
      "absolute); empty for none. Its number is in the effect's Sprite parameters.",               \
      "")                                                                                          \
    X(MOTION_VALUE, RadialAcceleration, radial_acceleration, GIVEN,                                \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Push away from the point a particle was born around, pixels per second squared (negative "  \
      "pulls).",                                                                                   \
      {})                                                                                          \
    X(MOTION_VALUE, TangentialAcceleration, tangential_acceleration, GIVEN,                        \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Push at right angles to that point, pixels per second squared, clockwise on screen when "   \
      "positive.",                                                                                 \
      {})                                                                                          \
    X(MOTION_VALUE, OrbitRadius, orbit_radius, GIVEN, KEY(0.0f, PP_MAX_MOTION_AMOUNT),             \
      "Orbit mode: the start radius of a particle's circle about the emitter, in pixels.", {})     \
    X(MOTION_VALUE, OrbitEndRadius, orbit_end_radius, GIVEN, KEY(0.0f, PP_MAX_MOTION_AMOUNT),      \
      "Orbit mode: the radius reached at death, in pixels.", {})                                   \
    X(MOTION_VALUE, OrbitSpin, orbit_spin, GIVEN,                                                  \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Orbit mode: degrees a second a particle turns about the emitter.", {})                      \
    X(MOTION_VALUE, EndSize, end_size, GIVEN, KEY(0.0f, PP_MAX_MOTION_AMOUNT),                     \
      "The size a particle reaches at death, linear from its birth size.", {})                     \
    X(MOTION_VALUE, Angle, angle, GIVEN, KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),         \
      "The sprite's angle at birth, degrees clockwise.", {})                                       \
    X(MOTION_VALUE, EndAngle, end_angle, GIVEN, KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),  \
      "The sprite's angle at death, degrees clockwise, reached linearly.", {})                     \
    X(MOTION_COLOUR, StartColour, start_colour, GIVEN, KEY(255.0f),                                \
      "Colour and opacity at birth, {R, G, B, A} 0 to 255.", {})                                   \
    X(MOTION_COLOUR, StartColourVariance, start_colour_variance, GIVEN, KEY(0.0f),                 \
      "Plus or minus this much of each StartColour channel, drawn at birth.", {})                  \
    X(MOTION_COLOUR, EndColour, end_colour, GIVEN, KEY(255.0f),                                    \
      "Colour and opacity at death, {R, G, B, A} 0 to 255.", {})                                   \
    X(MOTION_COLOUR, EndColourVariance, end_colour_variance, GIVEN, KEY(0.0f),                     \
      "Plus or minus this much of each EndColour channel, drawn at birth.", {})                    \
    X(INT, AlignToMotion, align_to_motion, GIVEN, KEY(0, 1),                                       \
      "1: the sprite turns to its direction of travel.", 0)                                        \
    X(INT, MaxAlive, max_alive, GIVEN, KEY(0, PP_MAX_ALIVE_CAP),                                   \
      "At most this many live particles of this effect; 0 is no cap.", 0)                          \
    X(INT, Attached, attached, GIVEN, KEY(0, 1), "1: particles move with their emitter.", 0)       \
    X(FLOAT, Aspect, aspect, GIVEN, KEY(0.0f, PP_MAX_ASPECT),                                      \
      "Width over height of the drawn quad, to keep a sprite that is not square in its shape; 0 "  \
      "draws squares.",                                                                            \
      0.0f)                                                                                        \
    X(FORCE, Attractor, attractor, NEVER, FIELD, "The first point pulling particles towards it.",  \
      {})                                                                                          \
    X(FORCE, Vortex, vortex, NEVER, FIELD, "The first point turning particles about it.", {})

/* The start of emission. */
#define PARTICLEPLAYER_EXTRAS_START(X)                                                             \
    X(FLOAT, Delay, delay, GIVEN, KEY(0.0f, PP_MAX_SECONDS),                                       \
      "Seconds after creation before emission starts; Duration and bursts count from then.", 0.0f) \
    X(INT, MinAlive, min_alive, GIVEN, KEY(0, PP_MAX_BURST_COUNT),                                 \
      "Each emitting frame, particles are born until at least this many are alive.", 0)

/* The noise field and the collision lines. */
#define PARTICLEPLAYER_EXTRAS_MIDDLE(X)                                                            \
    X(TURBULENCE, Turbulence, turbulence, GIVEN, KEY(),                                            \
      "A swirling noise field that carries particles along, px/s, swirls Scale px wide.", {})      \
    X(COLLIDE_LIST, Collide, collide, GIVEN, KEY(),                                                \
      "Lines particles bounce off or die at: a Floor, Ceiling, Left or Right wall, or a segment.", \
      {})                                                                                          \
    X(SUB_EFFECT, OnCollide, on_collide, GIVEN, KEY(),                                             \
      "An effect started where a particle hits a Collide line.", {})

/* Trails and stretching, emission along a move, every force point, motion over the life, the
 * sprite list, curves over the Duration and the offsets drawn at birth. */
#define PARTICLEPLAYER_EXTRAS_LAST(X)                                                              \
    X(TRAIL, Trail, trail, GIVEN, KEY(),                                                           \
      "A ribbon behind each particle through its last Points places, fading along it.", {})        \
    X(FLOAT, StretchFactor, stretch_factor, GIVEN, FIELD,                                          \
      "Quads' width grows by this many sizes per px/s.", 0.0f)                                     \
    X(FLOAT, StretchMax, stretch_max, WITH(StretchFactor), FIELD,                                  \
      "Quads stretched to at most this many sizes.", 1000.0f)                                      \
    X(INT, EmitAlongPath, emit_along_path, GIVEN, KEY(0, 1),                                       \
      "1: a moving emitter's births spread along its move and over the frame.", 0)                 \
    X(FLOAT, EmitByDistance, emit_by_distance, GIVEN, KEY(0.0f, PP_MAX_BURST_COUNT),               \
      "Particles per 100 pixels the emitter moves, in place of the steady rate.", 0.0f)            \
    X(FORCE_LIST, Attractors, attractors, NEVER, FIELD,                                            \
      "Every point of the Attractor key, in the order written (at most 8); Attractor is the "      \
      "first. They act in this order, before the Vortex points.",                                  \
      {})                                                                                          \
    X(FORCE_LIST, Vortices, vortices, NEVER, FIELD,                                                \
      "Every point of the Vortex key, in the order written (at most 8); Vortex is the first.", {}) \
    X(CURVE1, SpeedOverLife, speed_over_life, GIVEN, KEY(-PP_MAX_LIFE_FACTOR, PP_MAX_LIFE_FACTOR), \
      "A factor over each particle's life, multiplying the velocity it moves with.", {})           \
    X(CURVE1, TurnOverLife, turn_over_life, GIVEN,                                                 \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Degrees over each particle's life, turning its direction of travel clockwise.", {})         \
    X(CURVE1, AngleOverLife, angle_over_life, GIVEN, KEY(-PP_MAX_LIFE_FACTOR, PP_MAX_LIFE_FACTOR), \
      "The share of the way from Angle to EndAngle over each particle's life, in place of "        \
      "straight.",                                                                                 \
      {})                                                                                          \
    X(CURVE1, DriftXOverLife, drift_x_over_life, GIVEN,                                            \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Pixels per second added to each particle's move in x, over its life.", {})                  \
    X(CURVE1, DriftYOverLife, drift_y_over_life, GIVEN,                                            \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT),                                            \
      "Pixels per second added to each particle's move in y (down), over its life.", {})           \
    X(INT, SpriteMode, sprite_mode, GIVEN, KEY(0, 2),                                              \
      "With a SpriteFile list: 0 the first image, 1 a random one per particle, 2 each in turn "    \
      "over the life.",                                                                            \
      0)                                                                                           \
    X(STRING_LIST, SpriteFiles, sprite_file_count, GIVEN, FIELD,                                   \
      "Every image of a SpriteFile list of more than one, as opened, in the order written (at "    \
      "most 16); SpriteFile is the first. Empty for one image or none. Their numbers are in "      \
      "World::SpriteFiles (C: pp_world_sprite_file).",                                             \
      {})                                                                                          \
    X(CURVE1, EmissionOverDuration, emission_over_duration, GIVEN, KEY(0.0f, PP_MAX_LIFE_FACTOR),  \
      "A factor over the emitter's Duration, multiplying the emission rate.", {})                  \
    X(CURVE1, LifeOverDuration, life_over_duration, GIVEN, KEY(0.0f, PP_MAX_LIFE_FACTOR),          \
      "A factor over the emitter's Duration, multiplying the lifetime of particles born then.",    \
      {})                                                                                          \
    X(CURVE1, WidthOverDuration, width_over_duration, GIVEN, KEY(0.0f, PP_MAX_LIFE_FACTOR),        \
      "A factor over the emitter's Duration, multiplying the emission area's width.", {})          \
    X(CURVE1, HeightOverDuration, height_over_duration, GIVEN, KEY(0.0f, PP_MAX_LIFE_FACTOR),      \
      "A factor over the emitter's Duration, multiplying the emission area's height.", {})         \
    X(INT, Continuous, continuous, GIVEN, KEY(0, 1),                                               \
      "1: the Duration repeats, with Delay before each cycle, instead of ending.", 0)              \
    X(DRAWN_RANGE, LifeOffset, life_offset, GIVEN, KEY(0.0f, PP_MAX_SECONDS, 0.001f),              \
      "Seconds of its life a particle has already lived at birth, drawn from Min to Max.", {})     \
    X(DRAWN_RANGE, BirthOffsetX, birth_offset_x, GIVEN,                                            \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT, 0.01f),                                     \
      "Pixels added to a particle's birth x, drawn from Min to Max.", {})                          \
    X(DRAWN_RANGE, BirthOffsetY, birth_offset_y, GIVEN,                                            \
      KEY(-PP_MAX_MOTION_AMOUNT, PP_MAX_MOTION_AMOUNT, 0.01f),                                     \
      "Pixels added to a particle's birth y (down), drawn from Min to Max.", {})

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

/* The parameters of an effect, one row each, in record order: the one list that the C++ record
 * (particleplayer/world.h's EffectParams), the C record (particleplayer.h's pp_effect_params)
 * and the library's own copies of them are written from, so a new parameter is one row here.
 * Usable from C and C++.
 *
 * PARTICLEPLAYER_EFFECT_PARAMS(X) calls X(KIND, Name, c_name, "description", default...) once
 * per parameter, where KIND is one of
 *   INT        a 32-bit integer; default: one integer
 *   FLOAT      a float; default: one number
 *   RANGE      a randomised number (Min, Min + Inc, ... up to Max); default: Min, Max, Inc
 *   INT_RANGE  the same over integers; default: Min, Max, Inc
 * and the defaults are those of an effect that no key has set, placed at (0, 0). AreaAngle is
 * in radians, every other angle in degrees; speeds and accelerations are per second, lifetimes
 * in seconds. A row whose Name is also an effect key's (LifeTime, Size, Disable, ...) describes
 * that key too, as particleplayer/key_table.h, `check` and the editor show it. */
#ifndef PARTICLEPLAYER_EFFECT_PARAMS_H
#define PARTICLEPLAYER_EFFECT_PARAMS_H

/* Sprite's Inc is 0 only in the default, where sampling then always gives Min; Rotation's the
 * same for the spin. The blend pair's default is source alpha and inverse source alpha:
 * ordinary alpha blending. */
#define PARTICLEPLAYER_EFFECT_PARAMS(X)                                                            \
    X(INT, Disable, disable, "Anything but 0 stops emission.", 0)                                  \
    X(INT, AutoRemove, auto_remove, "Non-zero: removed after an update that met no particle.", 0)  \
    X(INT, Layer, layer, "Drawing layer; the bundled renderer draws layer 0 only.", 0)             \
    X(FLOAT, PositionX, position_x, "Emitter position, x in pixels.", 0.0f)                        \
    X(FLOAT, PositionY, position_y, "Emitter position, y in pixels (down the screen).", 0.0f)      \
    X(INT, AreaType, area_type, "0 point, 1 line, 2 square, 3 rectangle, 4 circle, 5 ellipse.", 0) \
    X(FLOAT, AreaWidth, area_width, "Emission area width in pixels.", 0.0f)                        \
    X(FLOAT, AreaHeight, area_height, "Emission area height in pixels.", 0.0f)                     \
    X(FLOAT, AreaAngle, area_angle, "Emission area rotation in radians.", 0.0f)                    \
    X(RANGE, EmissionAngle, emission_angle,                                                        \
      "Direction of flight of a new particle, in degrees (90 points down).", 0.0f, 359.0f, 1.0f)   \
    X(RANGE, EmissionVelocity, emission_velocity, "Starting speed, in pixels per second.", 100.0f, \
      100.0f, 1.0f)                                                                                \
    X(FLOAT, AccelerationX, acceleration_x, "Pixels per second squared.", 0.0f)                    \
    X(FLOAT, AccelerationY, acceleration_y, "Pixels per second squared.", 0.0f)                    \
    X(RANGE, LifeTime, lifetime, "Seconds a particle lives at most.", 3.0f, 3.0f, 1.0f)            \
    X(RANGE, EmissionRate, emission_rate, "Particles per second, at most 1000.", 100.0f, 100.0f,   \
      1.0f)                                                                                        \
    X(INT_RANGE, Sprite, sprite, "Sprite number a new particle draws with.", 0, 0, 0)              \
    X(RANGE, Size, size, "Starting edge of a particle's square, in pixels.", 32.0f, 32.0f, 1.0f)   \
    X(FLOAT, Raise, raise, "Growth of the size, in pixels per second.", 0.0f)                      \
    X(RANGE, Rotation, rotation, "Spin of a new particle, in degrees added every update.", 0.0f,   \
      0.0f, 0.0f)                                                                                  \
    X(RANGE, Transparency, transparency, "Starting opacity, 0 (invisible) to 255 (opaque).",       \
      255.0f, 255.0f, 1.0f)                                                                        \
    X(FLOAT, Fade, fade, "Change of opacity per second.", 0.0f)                                    \
    X(INT, BlendSource, blend_source, "Source blend factor code (1 to 13).", 5)                    \
    X(INT, BlendDestination, blend_destination, "Destination blend factor code (1 to 13).", 6)

/** A max of exactly this value means "the same as min" when a range is set, as an effect file
 * without a second value does (the C API's range setters take it too). */
#define PP_SAME_AS_MIN (-65535)

#endif /* PARTICLEPLAYER_EFFECT_PARAMS_H */

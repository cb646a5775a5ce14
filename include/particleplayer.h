/** @file
 * particleplayer.h - the particle engine's C interface (C99).
 *
 * Every object is an opaque handle made and freed by the library. Every call returns a
 * pp_status: PP_OK (0) on success, otherwise an error code, never an abort - null handles,
 * null output pointers, unknown effects and out-of-range values included. A world keeps
 * the message of its last failed call (pp_world_last_error); pp_status_text names any code.
 *
 * A world holds effects and their particles on one clock: a virtual one that the host sets
 * (pp_world_set_time, pp_world_advance_time) or the host's own milliseconds through a
 * callback. Worlds share nothing, so two in one process give exactly what each gives alone.
 * Use a world from one thread at a time. Effects are numbered from 1 in load order.
 *
 * The vertex array (pp_vertices) gives one layer's quads for a host's own renderer, six
 * vertices per quad, in runs that share a sprite and blend pair; particleplayer/vertices.h
 * describes the coordinates. The screen calls draw with the bundled OpenGL 3.3 renderer into
 * the library's own window (one per process); the renderer calls draw with it into the OpenGL
 * context the host made, under the contract of particleplayer/renderer.h (that context
 * current for every call, destroy included; its GL state left as found; one renderer or
 * screen per process). The SDL renderer calls draw through a host's SDL_Renderer under the
 * contract of particleplayer/sdl_renderer.h (destroyed before that SDL_Renderer; its draw
 * colour, blend mode, target, clip, viewport and scale left as found; any number of them).
 *
 * ABI: positions are floats in every call, pp_world_load_effect_file, pp_world_load_effect_text
 * and pp_world_reapply_effect_file included (in older headers these three took int32_t x and y;
 * the library is not compatible with programs built against those, which must be rebuilt).
 */
#ifndef PARTICLEPLAYER_H
#define PARTICLEPLAYER_H

#include <stddef.h>
#include <stdint.h>

#include "particleplayer/effect_extras_list.h"
#include "particleplayer/effect_params.h"

#ifdef __cplusplus
extern "C" {
#endif

/** The outcome of a call. */
typedef enum pp_status {
    PP_OK = 0,             /**< Done. */
    PP_ERROR_NULL = 1,     /**< A handle or output pointer was null. */
    PP_ERROR_ARGUMENT = 2, /**< An argument was out of range or named no effect. */
    PP_ERROR_FILE = 3,     /**< A file could not be read. */
    PP_ERROR_STATE = 4,    /**< The call does not fit the object's state (e.g. no screen). */
    PP_ERROR_MEMORY = 5    /**< Out of memory. */
} pp_status;

/** A world: effects, particles, a clock and a random generator. */
typedef struct pp_world pp_world;
/** A vertex array filled by pp_world_build_vertices. */
typedef struct pp_vertices pp_vertices;
/** The bundled OpenGL 3.3 renderer in the host's own context (particleplayer/renderer.h). */
typedef struct pp_renderer pp_renderer;
/** Drawing through a host's SDL_Renderer (particleplayer/sdl_renderer.h). */
typedef struct pp_sdl_renderer pp_sdl_renderer;
/** SDL's 2D renderer, as SDL_render.h declares it. */
struct SDL_Renderer;

/** Reads the host's clock in milliseconds; user is what was passed at creation. */
typedef uint32_t (*pp_clock_fn)(void* user);

/** One corner of a quad: pixel position, texture coordinate (within the frame's cell for an
 * effect with a sprite sheet), the colour multiplying the texel's (white unless the effect
 * sets one) and alpha. */
typedef struct pp_vertex {
    float x;   /**< Pixel x, pixel centres at integers. */
    float y;   /**< Pixel y, growing downwards. */
    float u;   /**< Texture coordinate across, 0 to 1. */
    float v;   /**< Texture coordinate down, 0 to 1. */
    uint8_t r; /**< Multiplies the texel's red: 255 keeps it. */
    uint8_t g; /**< Multiplies the texel's green: 255 keeps it. */
    uint8_t b; /**< Multiplies the texel's blue: 255 keeps it. */
    uint8_t a; /**< Low 8 bits of the rounded transparency. */
} pp_vertex;

/** Consecutive vertices drawn with one sprite and blend pair. */
typedef struct pp_vertex_run {
    int32_t sprite;            /**< Sprite number. */
    int32_t blend_source;      /**< Source blend factor code. */
    int32_t blend_destination; /**< Destination blend factor code. */
    uint32_t first;            /**< First vertex. */
    uint32_t count;            /**< Number of vertices, six per quad. */
} pp_vertex_run;

/** How long the parts of one frame took, in seconds (particleplayer/screen.h's FrameTimes):
 * the update and the submission are CPU time of the calling thread, or wall time when the
 * world works on more threads. */
typedef struct pp_frame_times {
    double update_seconds;     /**< The world's update; 0 when not updated. */
    double submission_seconds; /**< Particles to vertices in GL's buffers. */
    double draw_call_seconds;  /**< GL's draw calls (a software renderer works in them). */
    double present_seconds;    /**< Wall time of showing the frame. */
    int64_t quads;             /**< Particles drawn. */
    int32_t threads;           /**< Threads the update and the drawing could use. */
} pp_frame_times;

/** One live particle (particleplayer/world.h's Particle). Angles in degrees, times in clock
 * milliseconds, transparency 0 to 255. */
typedef struct pp_particle {
    int32_t sprite;      /**< Sprite number it is drawn with. */
    float size;          /**< Side of its square in pixels. */
    float x;             /**< Centre, x in pixels. */
    float y;             /**< Centre, y in pixels. */
    float velocity_x;    /**< Pixels per second. */
    float velocity_y;    /**< Pixels per second. */
    float transparency;  /**< Alpha, 0 to 255. */
    int32_t death_time;  /**< Clock reading (signed) at which it dies. */
    float angle;         /**< Turn in degrees, clockwise on the screen. */
    float rotation_step; /**< Degrees added per update. */
} pp_particle;

/** A randomised number: min, min + inc, ... up to max. */
typedef struct pp_value_range {
    float min; /**< Smallest value. */
    float max; /**< Largest value. */
    float inc; /**< Step between values. */
} pp_value_range;

/** The whole-number form of pp_value_range (sprite numbers). */
typedef struct pp_int_value_range {
    int32_t min; /**< Smallest value. */
    int32_t max; /**< Largest value. */
    int32_t inc; /**< Step between values. */
} pp_int_value_range;

/** \cond */
#define PARTICLEPLAYER_C_TYPE_INT int32_t
#define PARTICLEPLAYER_C_TYPE_FLOAT float
#define PARTICLEPLAYER_C_TYPE_RANGE pp_value_range
#define PARTICLEPLAYER_C_TYPE_INT_RANGE pp_int_value_range
#define PARTICLEPLAYER_C_FIELD(kind, name, cName, doc, ...) PARTICLEPLAYER_C_TYPE_##kind cName;
/** \endcond */
/** Every parameter of an effect (particleplayer/world.h's EffectParams, field by field): one
 * field per row of particleplayer/effect_params.h, which describes each, under its c_name. */
typedef struct pp_effect_params {
    PARTICLEPLAYER_EFFECT_PARAMS(PARTICLEPLAYER_C_FIELD)
} pp_effect_params;
#undef PARTICLEPLAYER_C_FIELD
#undef PARTICLEPLAYER_C_TYPE_INT
#undef PARTICLEPLAYER_C_TYPE_FLOAT
#undef PARTICLEPLAYER_C_TYPE_RANGE
#undef PARTICLEPLAYER_C_TYPE_INT_RANGE

/** A value over a particle's life with one channel: count keys (0 to 8) at times 0 to 1. */
typedef struct pp_curve {
    int32_t count;  /**< Keys in use; 0 is no curve. */
    float time[8];  /**< Fraction of the life of each key. */
    float value[8]; /**< Value of each key. */
} pp_curve;

/** A colour over a particle's life: count keys (0 to 8) of red, green, blue 0 to 255. */
typedef struct pp_colour_curve {
    int32_t count;     /**< Keys in use; 0 is no curve. */
    float time[8];     /**< Fraction of the life of each key. */
    float value[8][3]; /**< Red, green, blue of each key. */
} pp_colour_curve;

/** An effect that each particle's birth or death starts where the particle is. */
typedef struct pp_sub_effect {
    int32_t set;     /**< 0: none is started. */
    int32_t count;   /**< Particles the started effect emits at once. */
    int32_t inherit; /**< 1: they take the particle's velocity as well. */
    int32_t effect;  /**< Its number for pp_world_started_effect; -1 when set is 0. */
} pp_sub_effect;

/** A randomised motion key: set 0 when the file does not give it. */
typedef struct pp_motion_value {
    int32_t set; /**< 1: the file gives it. */
    float min;   /**< Smallest value. */
    float max;   /**< Largest value. */
    float inc;   /**< Step between values. */
} pp_motion_value;

/** A motion colour key: red, green, blue, alpha, 0 to 255. */
typedef struct pp_motion_colour {
    int32_t set;    /**< 1: the file gives it. */
    float value[4]; /**< Red, green, blue, alpha. */
} pp_motion_colour;

/** A point that pulls particles (Attractor) or turns them about it (Vortex). */
typedef struct pp_force_point {
    float x;         /**< Pixels from the emitter across, or on the screen with screen 1. */
    float y;         /**< Pixels from the emitter down, or on the screen with screen 1. */
    float strength;  /**< Pixels per second² at the point: positive pulls, or turns clockwise. */
    float radius;    /**< Pixels beyond which it does nothing; 0: no limit. */
    int32_t falloff; /**< The power of (1 - distance / radius) it is scaled by. */
    int32_t screen;  /**< 1: x and y are screen pixels. */
} pp_force_point;

/** A swirling noise field that carries particles along (the Turbulence key). */
typedef struct pp_turbulence {
    float strength; /**< Pixels per second, about the field's mean speed; 0: none. */
    float scale;    /**< Pixels: the size of the field's swirls. */
    float speed;    /**< How many times a second the field turns into a new one. */
    int32_t seed;   /**< Mixed with the world's seed. */
} pp_turbulence;

/** The most lines pp_effect_extras holds. */
#define PP_MAX_COLLIDE_LINES 8

/** One line of Collide; form 0 floor (y = a), 1 ceiling, 2 left wall (x = a), 3 right wall,
 * 4 segment from (a, b) to (c, d). */
typedef struct pp_collide_line {
    int32_t form;   /**< 0 floor, 1 ceiling, 2 left wall, 3 right wall, 4 segment. */
    float a;        /**< Pixels: the floor's y, the wall's x, or the segment's x1. */
    float b;        /**< Pixels: the segment's y1. */
    float c;        /**< Pixels: the segment's x2. */
    float d;        /**< Pixels: the segment's y2. */
    float bounce;   /**< The fraction of the speed across the line kept, reversed. */
    float friction; /**< The fraction of the speed along the line lost at a hit. */
    int32_t die;    /**< 1: the particle dies where it meets the line. */
    int32_t screen; /**< 1: the numbers are screen pixels, not from the emitter. */
} pp_collide_line;

/** A ribbon behind each particle through the places of its last points frames. */
typedef struct pp_trail {
    int32_t points;  /**< Places kept; 0: no trail. */
    float length;    /**< Seconds a place is kept at most; 0: as many as points. */
    float width;     /**< Pixels at the particle; 0: its drawn size. */
    float end_width; /**< Pixels at the trail's end. */
    float fade;      /**< Share of the opacity lost along it. */
    float darken;    /**< Share of the colour lost along it. */
    int32_t behind;  /**< 1: drawn before its particle, 0: after it. */
} pp_trail;

/** A number drawn for each particle at its birth, min + k * step up to max; min and max both 0
 * draw nothing. */
typedef struct pp_drawn_range {
    float min;  /**< Smallest value. */
    float max;  /**< Largest value. */
    float step; /**< Step between values. */
} pp_drawn_range;

/** \cond */
#define PARTICLEPLAYER_C_EXTRA_FLOAT(c) float c;
#define PARTICLEPLAYER_C_EXTRA_INT(c) int32_t c;
#define PARTICLEPLAYER_C_EXTRA_COLOUR(c) float c[3];
#define PARTICLEPLAYER_C_EXTRA_CURVE1(c) pp_curve c;
#define PARTICLEPLAYER_C_EXTRA_CURVE3(c) pp_colour_curve c;
#define PARTICLEPLAYER_C_EXTRA_SUB_EFFECT(c) pp_sub_effect c;
#define PARTICLEPLAYER_C_EXTRA_STRING(c)
#define PARTICLEPLAYER_C_EXTRA_MOTION_VALUE(c) pp_motion_value c;
#define PARTICLEPLAYER_C_EXTRA_MOTION_COLOUR(c) pp_motion_colour c;
#define PARTICLEPLAYER_C_EXTRA_FORCE(c) pp_force_point c;
#define PARTICLEPLAYER_C_EXTRA_TURBULENCE(c) pp_turbulence c;
#define PARTICLEPLAYER_C_EXTRA_COLLIDE_LIST(c) \
    int32_t c##_count;                         \
    pp_collide_line c[PP_MAX_COLLIDE_LINES];
#define PARTICLEPLAYER_C_EXTRA_TRAIL(c) pp_trail c;
#define PARTICLEPLAYER_C_EXTRA_FORCE_LIST(c)
#define PARTICLEPLAYER_C_EXTRA_STRING_LIST(c) int32_t c;
#define PARTICLEPLAYER_C_EXTRA_DRAWN_RANGE(c) pp_drawn_range c;
#define PARTICLEPLAYER_C_EXTRA(kind, name, cName, shown, key, doc, ...) \
    PARTICLEPLAYER_C_EXTRA_##kind(cName)
/** \endcond */
/** The optional keys of an effect (particleplayer/effect_extras.h's EffectExtras, field by
 * field): one field per row of particleplayer/effect_extras_list.h, which describes each, under
 * its c_name, in the C order of that list. Fields are only ever added at the end. */
typedef struct pp_effect_extras {
    PARTICLEPLAYER_EFFECT_EXTRAS_C_ORDER(PARTICLEPLAYER_C_EXTRA)
} pp_effect_extras;
#undef PARTICLEPLAYER_C_EXTRA
#undef PARTICLEPLAYER_C_EXTRA_FLOAT
#undef PARTICLEPLAYER_C_EXTRA_INT
#undef PARTICLEPLAYER_C_EXTRA_COLOUR
#undef PARTICLEPLAYER_C_EXTRA_CURVE1
#undef PARTICLEPLAYER_C_EXTRA_CURVE3
#undef PARTICLEPLAYER_C_EXTRA_SUB_EFFECT
#undef PARTICLEPLAYER_C_EXTRA_STRING
#undef PARTICLEPLAYER_C_EXTRA_MOTION_VALUE
#undef PARTICLEPLAYER_C_EXTRA_MOTION_COLOUR
#undef PARTICLEPLAYER_C_EXTRA_FORCE
#undef PARTICLEPLAYER_C_EXTRA_TURBULENCE
#undef PARTICLEPLAYER_C_EXTRA_COLLIDE_LIST
#undef PARTICLEPLAYER_C_EXTRA_TRAIL
#undef PARTICLEPLAYER_C_EXTRA_FORCE_LIST
#undef PARTICLEPLAYER_C_EXTRA_STRING_LIST
#undef PARTICLEPLAYER_C_EXTRA_DRAWN_RANGE

/** The library version as "MAJOR.MINOR.PATCH". */
const char* pp_version(void);
/** The library version as MAJOR * 10000 + MINOR * 100 + PATCH. */
uint32_t pp_version_number(void);
/** A short English name of a status code (also for unknown codes). */
const char* pp_status_text(pp_status status);

/** A world on a virtual clock reading start_ms. */
pp_status pp_world_create(pp_world** out, uint32_t start_ms);
/** A world on a virtual clock reading start_ms whose relative effect paths are opened from
 * base_folder (NULL or "": the working directory) and whose sprite files are numbered from
 * first_sprite_file (held to 0..1047552; pp_world_create uses 1000). */
pp_status pp_world_create_in(pp_world** out, uint32_t start_ms, const char* base_folder,
                             int32_t first_sprite_file);
/** A world that reads the host's clock through clock(user). */
pp_status pp_world_create_with_clock(pp_world** out, pp_clock_fn clock, void* user);
/** Frees a world and its effects; null does nothing. */
void pp_world_destroy(pp_world* world);
/** The message of the world's last failed call, "" when none; valid until the next call. */
const char* pp_world_last_error(const pp_world* world);

/** Sets the virtual clock (PP_ERROR_STATE on a host clock). */
pp_status pp_world_set_time(pp_world* world, uint32_t ms);
/** Moves the virtual clock on, wrapping (PP_ERROR_STATE on a host clock). */
pp_status pp_world_advance_time(pp_world* world, uint32_t ms);
/** Seeds the world's random generator. */
pp_status pp_world_seed(pp_world* world, uint32_t seed);

/** Loads an effect file at (x, y); *effect gets its number. PP_ERROR_FILE when unreadable. */
pp_status pp_world_load_effect_file(pp_world* world, const char* path, float x, float y,
                                    uint32_t* effect);
/** Applies length bytes of effect text as a new effect at (x, y). */
pp_status pp_world_load_effect_text(pp_world* world, const char* text, size_t length, float x,
                                    float y, uint32_t* effect);

/** Sets the sprite numbers of the effect's new particles (max PP_SAME_AS_MIN: same as min). */
pp_status pp_world_set_sprite_range(pp_world* world, uint32_t effect, int32_t min, int32_t max,
                                    int32_t inc);
/** Moves the effect's emitter. */
pp_status pp_world_set_position(pp_world* world, uint32_t effect, float x, float y);
/** Puts the effect's Attractor (vortex 0) or Vortex (vortex 1) at (x, y) on the screen. */
pp_status pp_world_set_force_point(pp_world* world, uint32_t effect, int vortex, float x, float y);
/** Sets the effect's emission rate in particles per second (max PP_SAME_AS_MIN: same as min; inc <=
 * 0 means 1). */
pp_status pp_world_set_emission_rate(pp_world* world, uint32_t effect, float min, float max,
                                     float inc);
/** Stops (disabled non-zero) or resumes the effect's emission; its particles go on. */
pp_status pp_world_set_disabled(pp_world* world, uint32_t effect, int disabled);
/** Removes the effect and its particles (effects its particles started keep running). Its
 * number names no effect afterwards: calls with it give PP_ERROR_ARGUMENT, as they do once an
 * update has removed an effect with AutoRemove. Numbers are never reused. */
pp_status pp_world_remove_effect(pp_world* world, uint32_t effect);
/** Runs the world's updates on threads threads, the calling one included: 1 (a new world's
 * count) on the calling thread only, 0 one per hardware thread, at most 256 (else
 * PP_ERROR_ARGUMENT). The particles are the same on any count. */
pp_status pp_world_set_threads(pp_world* world, int32_t threads);
/** The instructions of the update's and the vertex work's loops; every path gives the same
 * particles, vertices and pixels, bit for bit. */
typedef enum pp_cpu_path {
    PP_CPU_SCALAR = 0, /**< Plain code, one field at a time. */
    PP_CPU_SSE2 = 1,   /**< SSE2 (every x86-64 processor; WebAssembly SIMD in the browser). */
    PP_CPU_AVX2 = 2,   /**< AVX2, where the processor has it. */
    PP_CPU_AVX512 = 3  /**< AVX-512 (F, BW, DQ, VL), where the processor and the system have it. */
} pp_cpu_path;
/** Makes the updates and draws of every world take path from the next call on (for tests and
 * benchmarks); PP_ERROR_ARGUMENT, and nothing changed, when this processor or build lacks it.
 * Not to be called while a world updates or draws on another thread. */
pp_status pp_force_cpu_path(pp_cpu_path path);
/** The path that runs: the widest the processor has unless pp_force_cpu_path picked another. */
pp_cpu_path pp_active_cpu_path(void);
/** Applies the effect file at path again to the effect: its parameters back to their
 * creation defaults at (x, y), then the file; its particles and emission time stay.
 * PP_ERROR_FILE, leaving the effect as it was, when the file cannot be read. */
pp_status pp_world_reapply_effect_file(pp_world* world, uint32_t effect, const char* path, float x,
                                       float y);
/** Removes every effect, those started by particles included, as if the world were new
 * (numbers go on counting; the next update is a first one); the clock, the threads and the
 * random generator stay. */
pp_status pp_world_remove_all_effects(pp_world* world);
/** The effect's live particles (those of effects its particles started not included). */
pp_status pp_world_effect_particle_count(pp_world* world, uint32_t effect, int64_t* count);
/** Advances every effect to the clock's reading; *seconds (may be null) gets the step. */
pp_status pp_world_update(pp_world* world, float* seconds);
/** Live particles over all effects, those of effects started by particles included. */
pp_status pp_world_particle_count(pp_world* world, int64_t* count);
/** How many image files the world's effects name with SpriteFile. */
pp_status pp_world_sprite_file_count(pp_world* world, size_t* count);
/** Sprite file index (0 to the count less one): its sprite number and its path as opened; *path
 * stays valid until the next call with this world. PP_ERROR_ARGUMENT past the last. */
pp_status pp_world_sprite_file(pp_world* world, size_t index, int32_t* number, const char** path);
/** Sets the particle budget: at most max particles alive at once (a new world's is 1000000),
 * births beyond it dropped in a fixed order, the same on every run and thread count
 * (particleplayer/world.h's WorldOptions::MaxParticles). PP_ERROR_ARGUMENT below 0. */
pp_status pp_world_set_max_particles(pp_world* world, int64_t max);
/** Births the particle budget refused since the world was made or last emptied. */
pp_status pp_world_dropped_births(pp_world* world, int64_t* count);

/** Loads at (x, y), in order, every effect the file at path holds (World::LoadEffectGroup:
 * a group file's members, a .p file's emitters, or any other effect file as a group of one);
 * *count gets how many, their numbers the first capacity of them into members (which may be
 * null when capacity is 0). With fewer than *count places, the call loads nothing and gives
 * PP_ERROR_ARGUMENT, so a second call with room for *count gets them all. PP_ERROR_FILE, loading
 * nothing, when no member loads. */
pp_status pp_world_load_effect_group(pp_world* world, const char* path, float x, float y,
                                     uint32_t* members, size_t capacity, size_t* count);
/** Moves the count effects of members (a group as pp_world_load_effect_group gives it) as
 * pp_world_set_position does; PP_ERROR_ARGUMENT when none of them is in the world. */
pp_status pp_world_set_group_position(pp_world* world, const uint32_t* members, size_t count,
                                      float x, float y);
/** Removes the count effects of members as pp_world_remove_effect does; PP_ERROR_ARGUMENT when
 * none of them was in the world. */
pp_status pp_world_remove_group(pp_world* world, const uint32_t* members, size_t count);
/** pp_world_set_force_point for the point index of the key's blocks, in the order written (0 to
 * 7; pp_world_set_force_point moves the first): moving one beyond the file's blocks adds it,
 * and the ones between, with strength 0 until a reload gives them one. PP_ERROR_ARGUMENT for
 * any other index. */
pp_status pp_world_set_force_point_at(pp_world* world, uint32_t effect, int vortex, int32_t index,
                                      float x, float y);

/** The effect's live particles, oldest first: the first capacity of them into out (which may
 * be null when capacity is 0), and how many there are into *count, so a second call with room
 * for *count gets them all. */
pp_status pp_world_particles(pp_world* world, uint32_t effect, pp_particle* out, size_t capacity,
                             size_t* count);
/** Every live particle, those of effects started by particles included, in update order, as
 * pp_world_particles gives them; started_as (null, or room for capacity) gets for each the
 * number of the effect that particles started it as, or -1 for an effect the host loaded. */
pp_status pp_world_all_particles(pp_world* world, pp_particle* out, int32_t* started_as,
                                 size_t capacity, size_t* count);
/** The effect's parameters. */
pp_status pp_world_effect_params(pp_world* world, uint32_t effect, pp_effect_params* params);
/** The effect's optional keys. */
pp_status pp_world_effect_extras(pp_world* world, uint32_t effect, pp_effect_extras* extras);
/** The effect that particles start under number (pp_sub_effect's effect): its parameters, its
 * optional keys and the file it was loaded from (valid until the world's next call); any of
 * the three pointers may be null. PP_ERROR_ARGUMENT for a number no effect has. */
pp_status pp_world_started_effect(pp_world* world, int32_t number, pp_effect_params* params,
                                  pp_effect_extras* extras, const char** file);

/** An empty vertex array. */
pp_status pp_vertices_create(pp_vertices** out);
/** Frees a vertex array; null does nothing. */
void pp_vertices_destroy(pp_vertices* vertices);
/** Fills the array with the world's quads of one layer, as they stand. */
pp_status pp_world_build_vertices(pp_world* world, int32_t layer, pp_vertices* vertices);
/** The array's vertices; valid until it is filled again or freed. */
pp_status pp_vertices_data(const pp_vertices* vertices, const pp_vertex** data, size_t* count);
/** The array's runs; valid until it is filled again or freed. */
pp_status pp_vertices_runs(const pp_vertices* vertices, const pp_vertex_run** runs, size_t* count);

/** Opens the library's window (hidden when hidden is non-zero) with a width x height screen. */
pp_status pp_screen_open(const char* title, int32_t width, int32_t height, int hidden);
/** Loads an image file as sprite number; needs an open screen. */
pp_status pp_screen_load_sprite(int32_t number, const char* path);
/** What pp_screen_draw clears to: black until set, and again once the screen closes. */
pp_status pp_screen_set_background(uint8_t red, uint8_t green, uint8_t blue);
/** A picture as the background: top-down R, G, B rows of the open screen's width x height
 *  (size bytes, width * height * 3). */
pp_status pp_screen_set_background_image(const uint8_t* rgb, size_t size, int32_t width,
                                         int32_t height);
/** Clears, updates the world when update is non-zero, draws its layer 0 and shows it. */
pp_status pp_screen_draw(pp_world* world, int update);
/** pp_screen_draw, with the time each part of the frame took written to *times. */
pp_status pp_screen_draw_timed(pp_world* world, int update, pp_frame_times* times);
/** Copies the last frame as top-down R, G, B rows into rgb (at least width * height * 3). */
pp_status pp_screen_read_pixels(uint8_t* rgb, size_t size);
/** Closes the window and frees the sprites. */
void pp_screen_close(void);

/** A renderer in the OpenGL context current on this thread. PP_ERROR_STATE when no OpenGL 3.3
 * context is current or a renderer or the library's screen is open. */
pp_status pp_renderer_create(pp_renderer** out);
/** Frees the renderer's sprites and GL objects (its context current); null does nothing. */
void pp_renderer_destroy(pp_renderer* renderer);
/** The message of the renderer's last failed call, "" when none; valid until the next call. */
const char* pp_renderer_last_error(const pp_renderer* renderer);
/** Loads a PNG or BMP file as sprite number (0 or more). PP_ERROR_FILE when it cannot. */
pp_status pp_renderer_load_sprite(pp_renderer* renderer, int32_t number, const char* path);
/** Loads width x height top-down R, G, B, A pixels (size bytes readable at rgba, at least
 * width * height * 4) as sprite number. */
pp_status pp_renderer_load_sprite_rgba(pp_renderer* renderer, int32_t number, int32_t width,
                                       int32_t height, const uint8_t* rgba, size_t size);
/** Draws the world's layer 0, not updated, over the lower-left width x height pixels of the
 * bound draw framebuffer, cleared to black first when clear is non-zero. */
pp_status pp_renderer_draw(pp_renderer* renderer, pp_world* world, int32_t width, int32_t height,
                           int clear);

/** Draws through the host's SDL_Renderer (SDL 2.0.18 or later). PP_ERROR_NULL for a null
 * renderer; PP_ERROR_STATE when SDL cannot draw geometry. */
pp_status pp_sdl_renderer_create(struct SDL_Renderer* renderer, pp_sdl_renderer** out);
/** Frees the sprites' textures (before the SDL_Renderer goes); null does nothing. */
void pp_sdl_renderer_destroy(pp_sdl_renderer* renderer);
/** The message of the renderer's last failed call, "" when none; valid until the next call. */
const char* pp_sdl_renderer_last_error(const pp_sdl_renderer* renderer);
/** Loads a PNG or BMP file as sprite number (0 or more) into an SDL texture. PP_ERROR_FILE
 * when it cannot. */
pp_status pp_sdl_renderer_load_sprite(pp_sdl_renderer* renderer, int32_t number, const char* path);
/** Loads width x height top-down R, G, B, A pixels (size bytes readable at rgba, at least
 * width * height * 4) as sprite number. */
pp_status pp_sdl_renderer_load_sprite_rgba(pp_sdl_renderer* renderer, int32_t number, int32_t width,
                                           int32_t height, const uint8_t* rgba, size_t size);
/** Draws the world's layer, not updated, every particle moved by (offset_x, offset_y), over
 * the SDL_Renderer's target. PP_ERROR_STATE when SDL refuses to draw. */
pp_status pp_sdl_renderer_draw(pp_sdl_renderer* renderer, pp_world* world, int32_t layer,
                               int32_t offset_x, int32_t offset_y);

#ifdef __cplusplus
}
#endif

#endif

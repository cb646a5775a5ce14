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
 * screen per process).
 */
#ifndef PARTICLEPLAYER_H
#define PARTICLEPLAYER_H

#include <stddef.h>
#include <stdint.h>

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

/** The library version as "MAJOR.MINOR.PATCH". */
const char* pp_version(void);
/** The library version as MAJOR * 10000 + MINOR * 100 + PATCH. */
uint32_t pp_version_number(void);
/** A short English name of a status code (also for unknown codes). */
const char* pp_status_text(pp_status status);

/** A world on a virtual clock reading start_ms. */
pp_status pp_world_create(pp_world** out, uint32_t start_ms);
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
pp_status pp_world_load_effect_file(pp_world* world, const char* path, int32_t x, int32_t y,
                                    uint32_t* effect);
/** Applies length bytes of effect text as a new effect at (x, y). */
pp_status pp_world_load_effect_text(pp_world* world, const char* text, size_t length, int32_t x,
                                    int32_t y, uint32_t* effect);
/** Sets the sprite numbers of the effect's new particles (max -65535: same as min). */
pp_status pp_world_set_sprite_range(pp_world* world, uint32_t effect, int32_t min, int32_t max,
                                    int32_t inc);
/** Moves the effect's emitter. */
pp_status pp_world_set_position(pp_world* world, uint32_t effect, float x, float y);
/** Sets the effect's emission rate in particles per second (max -65535: same as min; inc <= 0
 * means 1). */
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
/** Applies the effect file at path again to the effect: its parameters back to their
 * creation defaults at (x, y), then the file; its particles and emission time stay.
 * PP_ERROR_FILE, leaving the effect as it was, when the file cannot be read. */
pp_status pp_world_reapply_effect_file(pp_world* world, uint32_t effect, const char* path,
                                       int32_t x, int32_t y);
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

#ifdef __cplusplus
}
#endif

#endif

/// @file
/// particleplayer/effect_extras.h - an effect's optional keys, as loading left them.
///
/// EffectExtras is what World::Extras returns and SetExtras takes: one member per optional key
/// (curves over the life, sub-effects, forces, collision, trails, the drawn shape). An effect
/// that sets none of them has EffectExtras{}, which changes nothing. The record grows at its end
/// only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace particleplayer {

/// A value over a particle's life: Count keys (0 to 8) at increasing fractions Time of its
/// lifetime (0 at birth, 1 at death), linear between keys, held before the first key and after
/// the last. Count 0: no curve.
template <int Channels>
struct LifeCurve {
    int32_t Count = 0;                                   ///< Keys in use, 0 to 8.
    std::array<float, 8> Time{};                         ///< Fraction of the life of each key.
    std::array<std::array<float, Channels>, 8> Value{};  ///< Value of each key, per channel.
    /// Compares every key, those past Count included.
    bool operator==(const LifeCurve&) const = default;
};

/// An effect that each particle's birth or death starts where the particle is.
struct SubEffect {
    bool Set = false;     ///< False: none is started.
    int32_t Count = 0;    ///< Particles the started effect emits at once, then it ends.
    int32_t Inherit = 0;  ///< 1: they take the particle's velocity as well.
    /// Which effect is started: its number for World::StartedEffectOf, -1 when Set is false.
    int32_t Effect = -1;
    /// Field by field.
    bool operator==(const SubEffect&) const = default;
};

/// A randomised motion key (RadialAcceleration, OrbitRadius, EndSize, ...) as loading left it:
/// drawn for each particle at its birth, Min + k * Inc up to Max, once the file gave it.
struct MotionValue {
    bool Set = false;  ///< False: the file does not give it, and nothing is drawn.
    float Min = 0.0f;  ///< Smallest value.
    float Max = 0.0f;  ///< Largest value.
    float Inc = 0.0f;  ///< Step between values; positive once Set.
    /// Field by field.
    bool operator==(const MotionValue&) const = default;
};

/// A motion colour key (StartColour, EndColourVariance, ...): red, green, blue, alpha, 0 to 255.
struct MotionColour {
    bool Set = false;              ///< False: the file does not give it.
    std::array<float, 4> Value{};  ///< Red, green, blue and alpha.
    /// Field by field.
    bool operator==(const MotionColour&) const = default;
};

/// A point that pulls particles (Attractor) or turns them about it (Vortex).
struct ForcePoint {
    float X = 0.0f;  ///< Pixels from the emitter, or on the screen with Screen.
    float Y = 0.0f;  ///< Pixels from the emitter, or on the screen with Screen.
    float Strength =
        0.0f;             ///< Pixels per second² at the point: positive pulls, or turns clockwise.
    float Radius = 0.0f;  ///< Pixels beyond which it does nothing; 0: no limit.
    int32_t Falloff = 0;  ///< The power of (1 - distance / Radius) it is scaled by.
    int32_t Screen = 0;   ///< 1: X and Y are screen pixels.
    /// Field by field.
    bool operator==(const ForcePoint&) const = default;
};

/// A swirling noise field that carries particles along (the Turbulence key).
struct TurbulenceField {
    float Strength = 0.0f;  ///< Pixels per second, about the field's mean speed; 0: none.
    float Scale = 100.0f;   ///< Pixels: the size of the field's swirls.
    float Speed = 1.0f;     ///< How many times a second the field turns into a new one.
    int32_t Seed = 0;       ///< Mixed with the world's seed.
    /// Field by field.
    bool operator==(const TurbulenceField&) const = default;
};

/// One line of Collide: a floor, a ceiling, a wall or a segment that particles bounce off or
/// die at.
struct CollideLine {
    /// The line's form: which of A to D it reads.
    enum class Form : int32_t {
        Floor,    ///< y = A, met from above.
        Ceiling,  ///< y = A, met from below.
        Left,     ///< x = A, met from its right.
        Right,    ///< x = A, met from its left.
        Segment,  ///< From (A, B) to (C, D), met from either side.
    };
    Form Shape = Form::Floor;  ///< Which line it is.
    float A = 0.0f;            ///< Pixels: the floor's y, the wall's x, or the segment's x1.
    float B = 0.0f;            ///< Pixels: the segment's y1.
    float C = 0.0f;            ///< Pixels: the segment's x2.
    float D = 0.0f;            ///< Pixels: the segment's y2.
    float Bounce = 1.0f;       ///< The fraction of the speed across the line kept, reversed.
    float Friction = 0.0f;     ///< The fraction of the speed along the line lost at a hit.
    int32_t Die = 0;           ///< 1: the particle dies where it meets the line.
    int32_t Screen = 0;        ///< 1: the numbers are screen pixels, not from the emitter.
    /// Field by field.
    bool operator==(const CollideLine&) const = default;
};

/// A ribbon behind each particle through the places of its last Points frames.
struct Trail {
    int32_t Points = 0;     ///< Places kept; 0: no trail.
    float Length = 0.0f;    ///< Seconds a place is kept at most; 0: as many as Points.
    float Width = 0.0f;     ///< Pixels at the particle; 0: its drawn size.
    float EndWidth = 0.0f;  ///< Pixels at the trail's end.
    float Fade = 1.0f;      ///< Share of the opacity lost along it.
    float Darken = 0.0f;    ///< Share of the colour lost along it.
    int32_t Behind = 0;     ///< 1: drawn before its particle, 0: after it.
    /// Field by field.
    bool operator==(const Trail&) const = default;
};

/// A number drawn for each particle at its birth, Min + k * Step up to Max; Min and Max both 0
/// draw nothing.
struct DrawnRange {
    float Min = 0.0f;   ///< Smallest value.
    float Max = 0.0f;   ///< Largest value.
    float Step = 0.0f;  ///< Step between values; positive once read from a file.
    /// Field by field.
    bool operator==(const DrawnRange&) const = default;
};

/// The optional keys of an effect, as loading left them; an effect that sets none of them
/// has EffectExtras{}, which changes nothing. Colours are 0 to 255 per channel.
struct EffectExtras {
    std::array<float, 3> Colour{255.0f, 255.0f,
                                255.0f};  ///< Multiplies the sprite's red, green, blue.
    LifeCurve<3> ColourOverLife;          ///< Multiplies Colour over each particle's life.
    LifeCurve<1> SizeOverLife;            ///< Multiplies the drawn size over the life.
    LifeCurve<1> TransparencyOverLife;    ///< Multiplies the drawn transparency over the life.
    float Drag = 0.0f;                    ///< Fraction of the speed lost per second.
    float Spin = 0.0f;                    ///< Degrees per second, beside Rotation's step.
    int32_t SheetColumns = 1;             ///< Sprite sheet: cells across the texture.
    int32_t SheetRows = 1;                ///< Sprite sheet: cells down the texture.
    int32_t SheetFrames = 0;              ///< Sprite sheet: frames shown; 0 is no sheet.
    float SheetRate = 0.0f;      ///< Sprite sheet: frames per second; 0 spreads them over the life.
    int32_t SheetRandom = 0;     ///< Sprite sheet: 1 starts each particle on a random frame.
    int32_t BurstCount = 0;      ///< Particles per burst, in place of the steady rate; 0 is none.
    float BurstInterval = 0.0f;  ///< Seconds between bursts.
    int32_t BurstRepeat = 0;     ///< Bursts in all; 0 is forever.
    float Duration = 0.0f;       ///< Seconds of emission after creation; 0 is no end.
    float Prewarm = 0.0f;        ///< Seconds run while loading.
    SubEffect OnBirth;           ///< Started where each particle is born.
    SubEffect OnDeath;           ///< Started where each particle dies.
    /// The image the SpriteFile key names, as opened (relative to the working directory, or
    /// absolute); empty for none. Its number is in the effect's Sprite parameters.
    std::string SpriteFile;
    MotionValue RadialAcceleration;      ///< Pixels per second², away from the origin.
    MotionValue TangentialAcceleration;  ///< Pixels per second², clockwise about the origin.
    MotionValue OrbitRadius;             ///< Orbit mode: pixels at birth.
    MotionValue OrbitEndRadius;          ///< Orbit mode: pixels at death.
    MotionValue OrbitSpin;               ///< Orbit mode: degrees per second, clockwise.
    MotionValue EndSize;                 ///< Pixels drawn at death.
    MotionValue Angle;                   ///< The sprite's angle at birth, degrees.
    MotionValue EndAngle;                ///< The sprite's angle at death, degrees.
    MotionColour StartColour;            ///< Colour and opacity at birth.
    MotionColour StartColourVariance;    ///< Plus or minus, per particle and channel.
    MotionColour EndColour;              ///< Colour and opacity at death.
    MotionColour EndColourVariance;      ///< Plus or minus, per particle and channel.
    int32_t AlignToMotion = 0;           ///< 1: sprites turned to their direction of travel.
    int32_t MaxAlive = 0;                ///< At most this many live particles; 0 is no cap.
    int32_t Attached = 0;                ///< 1: particles move with their emitter.
    float Aspect = 0.0f;                 ///< Width over height of the drawn quads; 0: squares.
    ForcePoint Attractor;                ///< The first point pulling particles towards it.
    ForcePoint Vortex;                   ///< The first point turning particles about it.
    float Delay = 0.0f;                  ///< Seconds after creation before emission starts.
    int32_t MinAlive = 0;                ///< Births each emitting frame up to this many alive.
    TurbulenceField Turbulence;          ///< A noise field that carries particles along.
    std::vector<CollideLine> Collide;    ///< The lines particles collide with, in order.
    SubEffect OnCollide;                 ///< Started where a particle hits a line.
    particleplayer::Trail Trail;         ///< The ribbon behind each particle.
    float StretchFactor = 0.0f;          ///< Quads' width grows by this many sizes per px/s.
    float StretchMax = 1000.0f;          ///< Quads stretched to at most this many sizes.
    int32_t EmitAlongPath = 0;           ///< 1: births spread along the emitter's move.
    float EmitByDistance = 0.0f;         ///< Births per 100 px moved, in place of the rate.
    /// Every point of the Attractor key, in the order written (at most 8); Attractor is the
    /// first. They act in this order, before the Vortex points.
    std::vector<ForcePoint> Attractors;
    /// Every point of the Vortex key, in the order written (at most 8); Vortex is the first.
    std::vector<ForcePoint> Vortices;
    LifeCurve<1> SpeedOverLife;   ///< Multiplies the velocity a particle moves with over its life.
    LifeCurve<1> TurnOverLife;    ///< Degrees its direction of travel turns over its life.
    LifeCurve<1> AngleOverLife;   ///< Share of the way from Angle to EndAngle over the life.
    LifeCurve<1> DriftXOverLife;  ///< Pixels per second added to the move in x over the life.
    LifeCurve<1> DriftYOverLife;  ///< Pixels per second added to the move in y over the life.
    /// How a particle picks among SpriteFiles: 0 the first, 1 a random one at its birth, 2
    /// each in turn over its life.
    int32_t SpriteMode = 0;
    /// Every image of a SpriteFile list of more than one, as opened, in the order written (at
    /// most 16); SpriteFile is the first. Empty for one image or none. Their numbers are in
    /// World::SpriteFiles.
    std::vector<std::string> SpriteFiles;
    LifeCurve<1> EmissionOverDuration;  ///< Multiplies the emission rate over the Duration.
    LifeCurve<1> LifeOverDuration;      ///< Multiplies the lifetime of particles born then.
    LifeCurve<1> WidthOverDuration;     ///< Multiplies the emission area's width then.
    LifeCurve<1> HeightOverDuration;    ///< Multiplies the emission area's height then.
    int32_t Continuous = 0;             ///< 1: the Duration repeats, Delay before each cycle.
    DrawnRange LifeOffset;              ///< Seconds of life already lived at birth.
    DrawnRange BirthOffsetX;            ///< Pixels added to the birth x.
    DrawnRange BirthOffsetY;            ///< Pixels added to the birth y.
    /// Field by field.
    bool operator==(const EffectExtras&) const = default;
};

}  // namespace particleplayer

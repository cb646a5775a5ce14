// The values of the optional effect keys (colours, curves over a particle's life, the lines of
// Collide; the other blocks read by their tables, effect_keys.h) read from their text as the loader
// stores them: every number held to its row's range, a missing entry given its default, an
// unreadable curve key left out. Pure functions of the text; nothing is ever reported (the checker
// says what was held or dropped).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_keys.h"
#include "effects/effect_text.h"
#include "particles/extra_params.h"

namespace pp {

// `value` held to [min, max]; NaN gives `fallback`.
float HoldInRange(float value, float min, float max, float fallback);

// {R, G, B} by position; a missing channel is 255, each is held to 0..255.
std::array<float, 3> ParseColour(std::string_view text);

// {t = v, ...}: entries whose name is a number, at most kMaxLifeKeys of them in the order
// written, times held to 0..1 and then sorted (keys of one time keep their written order),
// values held to [min, max]. Entries without '=' or whose name is no number are left out.
LifeCurve<1> ParseLifeCurve(std::string_view text, float min, float max);
// The same with {R, G, B} values, read as ParseColour reads them.
LifeCurve<3> ParseColourCurve(std::string_view text);

// One number held to [min, max].
float ParseAmount(std::string_view text, float min, float max);

// A randomised value in any of its forms, by the setting rule, its Min and Max then each held
// to [min, max] (NaN gives the nearest of them to 0); Set.
RandomKey ParseRandomKey(std::string_view text, float min, float max);
// {R, G, B, A} by position, a missing channel `missing`, each held to 0..255; Set.
ColourKey ParseRgba(std::string_view text, float missing);
// One whole number read as Layer is (a fraction cut off, '$' hex, '%' binary), held to
// [min, max].
int32_t ParseWhole(std::string_view text, int32_t min, int32_t max);

// The text of a block's field `index` of `fields`: by name, or by position when no entry of
// the block has a name. Empty when missing.
std::string BlockFieldText(std::string_view text, std::span<const BlockField> fields,
                           std::size_t index);
// Whether a block's entries are read by position (none of them has a name).
bool BlockIsPositional(std::string_view text);

// One block's lines (Floor, Ceiling, Left, Right, then a segment, each that it names), or a list
// of such blocks (entries without names whose values are blocks), at most kMaxCollideLines.
CollideParams ParseCollide(std::string_view text);
// Whether a Collide, Attractor or Vortex value is a list of blocks rather than one block.
bool IsBlockList(std::string_view text);
// The file an OnBirth, OnDeath or OnCollide block names as its Effect.
std::string SubEffectPath(std::string_view text);
// The images a SpriteFile value (`value` of `text`, a list's inside) names: the value itself
// unless it holds two or more entries with a value, and then each of those values, in order.
std::vector<TextRange> SpriteFileEntries(std::string_view text, TextRange value);

}  // namespace pp

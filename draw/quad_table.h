// The quad sprite table and the blend codes set for the following draws, shared by the quad
// sprites' functions and their vertex paths. Not for use outside draw/.
#pragma once

#include <cstdint>
#include <memory>

#include "draw/blend.h"
#include "draw/sprites.h"
#include "geometry/quad_geometry.h"
#include "runtime/object_table.h"

namespace pp {

struct QuadSprite {
    // The sprite owns the texture; the entry only watches it, so freeing or replacing the
    // sprite makes the entry stop existing instead of drawing from a deleted texture.
    std::weak_ptr<const SpriteTexture> Owner;
    const SpriteTexture* Texture = nullptr;
    // Top-left, top-right, bottom-left, bottom-right, relative to the draw position, with
    // pixel centres at integer coordinates.
    QuadCorners Corners{};
    int32_t BaseWidth = 0, BaseHeight = 0;
    int32_t Width = 0, Height = 0;
    float Angle = 0.0f;  // radians
    int32_t CornersValid = 0;
    bool Exists() const { return Texture != nullptr && !Owner.expired(); }
};

// Releases one entry of the table (its release callback).
void RemoveQuadSprite(int32_t quad);

struct QuadTableState {
    ObjectTable<QuadSprite> Table{64, &RemoveQuadSprite};
    int32_t BlendSource = kBlendSrcAlpha;
    int32_t BlendDestination = kBlendInvSrcAlpha;
};

inline QuadTableState& QuadTable() {
    static auto* state = new QuadTableState;
    return *state;
}

}  // namespace pp

// The quad sprite table: entries made from sprites, with their size, angle and corners, and
// the blend codes of the following draws.
#include "draw/quad_sprites.h"

#include "draw/gl_device.h"
#include "draw/quad_batch.h"
#include "draw/quad_table.h"

namespace pp {

void RemoveQuadSprite(int32_t quad) {
    ObjectRelease(QuadTable().Table, quad);
}

int32_t InitQuadSprites() {
    QuadTableState& t = QuadTable();
    t.Table = ObjectTable<QuadSprite>(64, &RemoveQuadSprite);
    t.BlendSource = kBlendSrcAlpha;
    t.BlendDestination = kBlendInvSrcAlpha;
    Batch().QuadsActive = false;
    return 1;
}

const QuadSprite* CreateQuadSprite(int32_t quad, int32_t sprite) {
    if (quad < 0) return nullptr;
    QuadSprite* q = ObjectAcquire(QuadTable().Table, quad);
    if (q == nullptr) return nullptr;
    const SpriteRecord* record = LookupSprite(sprite);
    if (record == nullptr || !record->Texture->UsableAsQuad) return nullptr;
    q->Owner = record->Texture;
    q->Texture = record->Texture.get();
    q->Width = q->BaseWidth = record->Texture->Width;
    q->Height = q->BaseHeight = record->Texture->Height;
    q->Angle = 0.0f;
    q->CornersValid = 0;
    return q;
}

void SetQuadBlending(int32_t source, int32_t destination) {
    if (!DeviceReady()) return;
    QuadTableState& t = QuadTable();
    t.BlendSource = source;
    t.BlendDestination = destination;
}

void SetQuadSize(int32_t quad, int32_t width, int32_t height) {
    QuadSprite* q = ObjectLookup(QuadTable().Table, quad);
    if (q == nullptr) return;
    q->Width = width;
    q->Height = height;
    q->CornersValid = 0;
}

void SetQuadAngle(int32_t quad, float degrees, int32_t mode) {
    QuadSprite* q = ObjectLookup(QuadTable().Table, quad);
    if (q == nullptr) return;
    q->CornersValid = 0;
    q->Angle = QuadAngleRadians(degrees, q->Angle, mode);
}

void FreeAllQuadSprites() {
    QuadTable().Table = ObjectTable<QuadSprite>(64, &RemoveQuadSprite);
}

}  // namespace pp

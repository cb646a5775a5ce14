#include "draw/blend.h"

#include <initializer_list>
#include <type_traits>

#include "platform/gl_api.h"

namespace pp {
namespace {

static_assert(std::is_same_v<GLenum, uint32_t>, "GlBlend holds GLenum values");

GLenum FactorFor(int32_t code, bool source) {
    switch (code) {
        case kBlendZero:
            return GL_ZERO;
        case kBlendOne:
            return GL_ONE;
        case kBlendSrcColour:
            return GL_SRC_COLOR;
        case kBlendInvSrcColour:
            return GL_ONE_MINUS_SRC_COLOR;
        case kBlendSrcAlpha:
            return GL_SRC_ALPHA;
        case kBlendInvSrcAlpha:
            return GL_ONE_MINUS_SRC_ALPHA;
        case kBlendDestAlpha:
            return GL_DST_ALPHA;
        case kBlendInvDestAlpha:
            return GL_ONE_MINUS_DST_ALPHA;
        case kBlendDestColour:
            return GL_DST_COLOR;
        case kBlendInvDestColour:
            return GL_ONE_MINUS_DST_COLOR;
        case kBlendSrcAlphaSat:
            // min(As, 1 - Ad) with a back buffer whose alpha reads 1 is 0; GL accepts the
            // saturate factor only as a source.
            return source ? GL_SRC_ALPHA_SATURATE : GL_ZERO;
        default:
            // Not a factor at all: draw as ordinary alpha blending rather than fail.
            return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    }
}

}  // namespace

GlBlend MapBlend(int32_t source, int32_t destination) {
    for (const int32_t code : {source, destination}) {
        if (code == kBlendBothSrcAlpha) return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
        if (code == kBlendBothInvSrcAlpha) return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    }
    return {FactorFor(source, true), FactorFor(destination, false)};
}

}  // namespace pp

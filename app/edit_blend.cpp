#include "app/edit_blend.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace pp {
namespace {

constexpr int kCodes = 13;
constexpr const char* kNames[kCodes] = {
    "zero",
    "one",
    "source colour",
    "inverse source colour",
    "source alpha",
    "inverse source alpha",
    "destination alpha",
    "inverse destination alpha",
    "destination colour",
    "inverse destination colour",
    "source alpha saturated",
    "both source alpha",
    "both inverse source alpha",
};

// A picture: kCells x kCells colours, each drawn as a kCellPixels square.
constexpr int kCells = 16;
constexpr float kCellPixels = 2.0f;
using Picture = std::vector<ImU32>;

struct Rgb {
    float R, G, B;
};

Rgb Grey(float v) {
    return {v, v, v};
}
Rgb Inverse(Rgb c) {
    return {1 - c.R, 1 - c.G, 1 - c.B};
}

// One factor of code `code` for a source colour and alpha over a destination colour, whose
// alpha is always 1: so the destination alpha's inverse and the saturated source alpha are 0.
Rgb Factor(int code, Rgb s, float a, Rgb d) {
    switch (code) {
        case 1:
        case 8:
        case 11:
            return Grey(0);
        case 3:
            return s;
        case 4:
            return Inverse(s);
        case 5:
            return Grey(a);
        case 6:
            return Grey(1 - a);
        case 9:
            return d;
        case 10:
            return Inverse(d);
        default:
            return Grey(1);  // 2 one, 7 the destination's alpha
    }
}

// A warm orange disc, its alpha falling to 0 at the rim, mixed by the pair into a background
// of 16 patches.
Picture Draw(int source, int destination) {
    // 12 and 13 set the whole pair, from either place.
    for (const int code : {source, destination}) {
        if (code == 12) source = 5, destination = 6;
        if (code == 13) source = 6, destination = 5;
    }
    Picture picture;
    const Rgb orange{1.0f, 0.55f, 0.15f};
    for (int y = 0; y < kCells; ++y) {
        for (int x = 0; x < kCells; ++x) {
            const int patch = (y / 4) * 4 + x / 4;
            const Rgb d{(patch % 4) / 3.0f, (patch / 4) / 3.0f, patch % 2 == 0 ? 0.8f : 0.2f};
            const float dx = (x + 0.5f) / kCells - 0.5f, dy = (y + 0.5f) / kCells - 0.5f;
            const float a = std::clamp(1.0f - std::sqrt(dx * dx + dy * dy) * 2.2f, 0.0f, 1.0f);
            const Rgb fs = Factor(source, orange, a, d), fd = Factor(destination, orange, a, d);
            const auto mix = [](float s, float f, float dc, float g) {
                return std::clamp(s * f + dc * g, 0.0f, 1.0f);
            };
            picture.push_back(ImGui::ColorConvertFloat4ToU32(
                {mix(orange.R, fs.R, d.R, fd.R), mix(orange.G, fs.G, d.G, fd.G),
                 mix(orange.B, fs.B, d.B, fd.B), 1.0f}));
        }
    }
    return picture;
}

void Show(const Picture& picture, ImVec2 at) {
    ImDrawList* draw = ImGui::GetWindowDrawList();
    for (int i = 0; i < kCells * kCells; ++i) {
        const ImVec2 min{at.x + (i % kCells) * kCellPixels, at.y + (i / kCells) * kCellPixels};
        draw->AddRectFilled(min, {min.x + kCellPixels, min.y + kCellPixels}, picture[i]);
    }
}

// The list of codes for one place of the pair (0 source, 1 destination), each code with its
// picture there (over destination 6, or under source 5), computed once.
bool CodeCombo(const char* label, int place, int32_t& code) {
    static const std::vector<Picture> kPictures = [] {
        std::vector<Picture> pictures;
        for (int c = 1; c <= kCodes; ++c) pictures.push_back(Draw(c, 6));
        for (int c = 1; c <= kCodes; ++c) pictures.push_back(Draw(5, c));
        return pictures;
    }();
    const auto name = [](int32_t c) {
        return c >= 1 && c <= kCodes ? std::to_string(c) + " " + kNames[c - 1]
                                     : "code " + std::to_string(c);
    };
    ImGui::SetNextItemWidth(170.0f);
    if (!ImGui::BeginCombo(label, name(code).c_str(), ImGuiComboFlags_HeightLargest)) {
        return false;
    }
    bool changed = false;
    const float side = kCells * kCellPixels;
    for (int c = 1; c <= kCodes; ++c) {
        ImGui::PushID(c);
        const ImVec2 at = ImGui::GetCursorScreenPos();
        if (ImGui::Selectable("##code", c == code, 0, {0.0f, side})) {
            code = c;
            changed = true;
        }
        Show(kPictures[static_cast<std::size_t>(place * kCodes + c - 1)], at);
        ImGui::SameLine(side + 12.0f);
        ImGui::TextUnformatted(name(c).c_str());
        ImGui::PopID();
    }
    ImGui::EndCombo();
    return changed;
}

}  // namespace

bool BlendPairWidgets(std::array<int32_t, 2>& codes) {
    bool changed = CodeCombo("##source", 0, codes[0]);
    ImGui::SameLine();
    changed |= CodeCombo("##destination", 1, codes[1]);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(90.0f);
    changed |= ImGui::InputInt2("##codes", codes.data());
    return changed;
}

}  // namespace pp

// inspect's JSON of an emitter: the optional keys only when they are used, every field of them,
// and a started effect's own parameters beside its index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/effect_json.h"

namespace pp {
namespace {

std::string Json(const EmitterParams& params, const std::vector<EmitterParams>& subEffects = {}) {
    std::string out;
    AppendEmitterJson(out, params, subEffects);
    return out;
}

TEST(EffectJsonExtras, ShownOnlyWhenUsedWithStartedEffects) {
    const EmitterParams plain = DefaultParamsAt(3, 4);
    EXPECT_EQ(Json(plain).find("Extras"), std::string::npos);
    EXPECT_TRUE(Json(plain).ends_with("\"BlendDestination\": 6}"));

    EmitterParams sub = DefaultParamsAt(0, 0);
    sub.Extras.Spin = 90;
    EmitterParams with = plain;
    with.Extras.Colour = {255, 128, 0.5f};
    with.Extras.SizeOverLife.Count = 2;
    with.Extras.SizeOverLife.Time = {0, 1};
    with.Extras.SizeOverLife.Value[0] = {0.5f};
    with.Extras.SizeOverLife.Value[1] = {2};
    with.Extras.OnDeath = {0, 30, 1};
    with.Extras.OnBirth = {5, 1, 0};  // not in the list: the index alone
    const std::string json = Json(with, {sub});
    const std::string expected =
        "\"BlendDestination\": 6, \"Extras\": {\"Colour\": [255, 128, 0.5], \"ColourOverLife\": "
        "[], \"SizeOverLife\": [[0, 0.5], [1, 2]], \"TransparencyOverLife\": [], \"Drag\": 0, "
        "\"Spin\": 0, \"SpriteSheet\": {\"Columns\": 1, \"Rows\": 1, \"Frames\": 0, \"Rate\": 0, "
        "\"Random\": 0}, \"Burst\": {\"Count\": 0, \"Interval\": 0, \"Repeat\": 0}, "
        "\"Duration\": 0, \"Prewarm\": 0, \"OnBirth\": {\"Effect\": 5, \"Count\": 1, "
        "\"Inherit\": 0}, \"OnDeath\": {\"Effect\": 0, \"Count\": 30, \"Inherit\": 1, "
        "\"Params\": {\"Disable\": 0";
    EXPECT_NE(json.find(expected), std::string::npos) << json;
    // The started effect with its own Extras, inside the index's object.
    EXPECT_NE(json.find("\"Spin\": 90, "), std::string::npos) << json;
    EXPECT_TRUE(json.ends_with("\"OnDeath\": {\"Effect\": -1, \"Count\": 0, \"Inherit\": 0}}}}}}"))
        << json;
}

}  // namespace
}  // namespace pp

// The public key table against the loader: every default it writes loads to what an effect
// without the key holds, and every range it states is where the loader holds numbers.
#include "particleplayer/key_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "particleplayer/world.h"
#include "tests/lib/loaded_effect.h"

namespace particleplayer {
namespace {

// A range whose ends agree draws its Min whatever its step: the creation defaults' step 0
// (Sprite, Rotation) is one no text writes, and draws as the step 1 a plain number gives.
template <typename T>
void DropStepOfOneValue(T& value) {
    if constexpr (requires { value.Inc; }) value.Inc = value.Min == value.Max ? 0 : value.Inc;
}

EffectParams Drawn(EffectParams params) {
#define DROP_STEP(kind, name, ...) DropStepOfOneValue(params.name);
    PARTICLEPLAYER_EFFECT_PARAMS(DROP_STEP)
#undef DROP_STEP
    return params;
}

bool Same(const Loaded& a, const Loaded& b) {
    const EffectParams pa = Drawn(a.Params), pb = Drawn(b.Params);
    return std::memcmp(&pa, &pb, sizeof pa) == 0 && a.Extras == b.Extras;
}

TEST(KeyTable, EveryKeyIsDescribedOnceAndFoundByItsName) {
    ASSERT_FALSE(EffectKeys().empty());
    for (const KeyInfo& key : EffectKeys()) {
        SCOPED_TRACE(std::string(key.Name));
        EXPECT_FALSE(key.Description.empty());
        EXPECT_EQ(key.Description.find('\n'), std::string_view::npos);
        EXPECT_EQ(FindEffectKey(key.Name), &key);
        EXPECT_FALSE(KeyKindName(key.Kind).empty());
        EXPECT_EQ(!key.Fields.empty(), key.Kind == KeyKind::Block || key.Kind == KeyKind::Area);
    }
    EXPECT_EQ(FindEffectKey("size"), nullptr);
    EXPECT_EQ(FindEffectKey(" Size"), nullptr);
}

// Written into a file, a key's default changes nothing the loader stores.
TEST(KeyTable, EachDefaultLoadsAsTheKeyLeftOut) {
    const Loaded none = Load("");
    int written = 0;
    for (const KeyInfo& key : EffectKeys()) {
        if (key.Default.empty()) continue;
        SCOPED_TRACE(std::string(key.Name) + " = " + std::string(key.Default));
        EXPECT_TRUE(Same(Load(std::string(key.Name) + " = " + std::string(key.Default)), none));
        ++written;
    }
    EXPECT_GE(written, 20);
}

// A number past either end of a bounded key loads as that end; inside, as written.
TEST(KeyTable, BoundedKeysHoldTheirNumbersToTheStatedRange) {
    int bounded = 0;
    for (const KeyInfo& key : EffectKeys()) {
        if (!key.Bounded) continue;
        SCOPED_TRACE(std::string(key.Name));
        ASSERT_LT(key.Min, key.Max);
        auto load = [&](const std::string& n) {
            const std::string three = n + ", " + n + ", " + n;
            const KeyKind k = key.Kind;
            return Load(std::string(key.Name) + " = " +
                        (k == KeyKind::Colour        ? "{" + three + "}"
                         : k == KeyKind::Rgba        ? "{" + three + ", " + n + "}"
                         : k == KeyKind::Curve       ? "{0 = " + n + "}"
                         : k == KeyKind::ColourCurve ? "{0 = {" + three + "}}"
                                                     : n));
        };
        // Past the float range too: the text reads as infinite, then held.
        EXPECT_TRUE(Same(load("1e99"), load(std::to_string(key.Max))));
        EXPECT_TRUE(Same(load("-1e99"), load(std::to_string(key.Min))));
        EXPECT_FALSE(Same(load(std::to_string(key.Max)), load(std::to_string(key.Min))));
        ++bounded;
    }
    EXPECT_GE(bounded, 8);
}

// A block's fields, each alone past its end, load as that end; a missing field as its default.
TEST(KeyTable, BlockFieldsHoldTheirRangeAndDefault) {
    for (const KeyInfo& key : EffectKeys()) {
        if (key.Kind != KeyKind::Block) continue;
        for (const KeyField& field : key.Fields) {
            if (field.Text) continue;
            SCOPED_TRACE(std::string(key.Name) + "." + std::string(field.Name));
            auto load = [&](const std::string& n) {
                return Load(std::string(key.Name) + " = {" + std::string(field.Name) + " = " + n +
                            "}");
            };
            // Whole-number fields read no exponent; these are past the 32-bit range too.
            EXPECT_TRUE(Same(load("99999999999"), load(std::to_string(field.Max))));
            EXPECT_TRUE(Same(load("-99999999999"), load(std::to_string(field.Min))));
            EXPECT_TRUE(Same(load(""), load(std::to_string(field.Default))));
        }
    }
}

// AlignToVelocity is AlignToMotion under another name: one switch, the later row winning. The
// area type names are the shape codes in order.
TEST(KeyTable, OtherNamesLoadAsTheirSwitchAndCodes) {
    EXPECT_TRUE(Same(Load("AlignToVelocity = 1"), Load("AlignToMotion = 1")));
    EXPECT_FALSE(Same(Load("AlignToVelocity = 1"), Load("")));
    EXPECT_TRUE(Same(Load("AlignToMotion = 1, AlignToVelocity = 0"), Load("")));
    ASSERT_EQ(AreaTypeNames().size(), 6u);
    for (std::size_t i = 0; i < AreaTypeNames().size(); ++i) {
        const std::string name(AreaTypeNames()[i]);
        SCOPED_TRACE(name);
        EXPECT_EQ(Load("EmitterArea = {Type = " + name + ", Width = 4}").Params.AreaType,
                  static_cast<int32_t>(i));
    }
}

}  // namespace
}  // namespace particleplayer

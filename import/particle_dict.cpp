// Reads .plist and .pex effect files through pugixml into one dictionary of .plist names.
#include "import/particle_dict.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <pugixml.hpp>

namespace pp {
namespace {

// The .pex spellings that differ from the .plist names, which every reader of the files
// accepts for the same key.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kPexSpellings{{
    {"particleLifeSpan", "particleLifespan"},
    {"particleLifeSpanVariance", "particleLifespanVariance"},
    {"FinishParticleSizeVariance", "finishParticleSizeVariance"},
}};

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// The number at the start of the text (after spaces; "nan" and "inf" included), as the
// loaders' string-to-number calls read it; false when there is none.
bool LeadingNumber(std::string_view text, double& out) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        out = 0;
        return false;
    }
    out = value;
    return true;
}

// Line and column of byte offsets in the text, from the offsets of its line starts.
class LineIndex {
  public:
    explicit LineIndex(std::string_view text) {
        starts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') starts_.push_back(i + 1);
        }
    }
    // Of the '<' before an element's name; (1, 1) when pugixml knows no offset.
    void Place(const pugi::xml_node& node, ParticleDictField& field) const {
        const std::ptrdiff_t name = node.offset_debug();
        if (name <= 0) return;
        const std::size_t at = static_cast<std::size_t>(name - 1);
        const auto line = std::upper_bound(starts_.begin(), starts_.end(), at) - 1;
        field.Line =
            static_cast<int32_t>(std::min<std::ptrdiff_t>(line - starts_.begin() + 1, INT32_MAX));
        field.Column = static_cast<int32_t>(std::min<std::size_t>(at - *line + 1, INT32_MAX));
    }

  private:
    std::vector<std::size_t> starts_;
};

void Add(ParticleDict& dict, ParticleDictField field) {
    if (dict.Find(field.Name) == nullptr) dict.Fields.push_back(std::move(field));
}

ParticleDictField NumberField(std::string name, std::string_view text) {
    ParticleDictField field;
    field.Name = std::move(name);
    field.NumberRead = LeadingNumber(text, field.Number);
    return field;
}

void ReadPlist(const pugi::xml_node& dict_node, const LineIndex& lines, ParticleDict& dict) {
    for (pugi::xml_node key = dict_node.child("key"); key; key = key.next_sibling("key")) {
        const pugi::xml_node value = key.next_sibling();
        if (!value || value.type() != pugi::node_element) continue;
        const std::string_view kind = value.name();
        const std::string_view text = value.child_value();
        ParticleDictField field = NumberField(key.child_value(), text);
        if (kind == "string") {
            field.IsText = true;
            field.Text = std::string(text);
        } else if (kind == "true" || kind == "false") {
            field.Number = kind == "true" ? 1 : 0;
            field.NumberRead = true;
        } else if (kind != "real" && kind != "integer") {
            field.NumberRead = false;  // a <dict>, <array>, <data> or <date>: no number
            field.Number = 0;
        }
        lines.Place(key, field);
        Add(dict, std::move(field));
    }
}

void ReadPex(const pugi::xml_node& root, const LineIndex& lines, ParticleDict& dict) {
    constexpr std::array<std::pair<const char*, const char*>, 4> kColour{
        {{"red", "Red"}, {"green", "Green"}, {"blue", "Blue"}, {"alpha", "Alpha"}}};
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element) continue;
        std::string name = node.name();
        for (const auto& [pex, plist] : kPexSpellings) {
            if (name == pex) name = std::string(plist);
        }
        const auto add = [&](std::string key, std::string_view text, bool is_text) {
            ParticleDictField field = NumberField(std::move(key), text);
            field.IsText = is_text;
            if (is_text) field.Text = std::string(text);
            lines.Place(node, field);
            Add(dict, std::move(field));
        };
        if (name == "texture") {
            if (auto a = node.attribute("name")) add("textureFileName", a.value(), true);
            if (auto a = node.attribute("data")) add("textureImageData", a.value(), true);
            continue;
        }
        if (auto a = node.attribute("value")) add(name, a.value(), false);
        if (auto a = node.attribute("x")) add(name + "x", a.value(), false);
        if (auto a = node.attribute("y")) add(name + "y", a.value(), false);
        for (const auto& [attribute, suffix] : kColour) {
            if (auto a = node.attribute(attribute)) add(name + suffix, a.value(), false);
        }
    }
}

}  // namespace

const ParticleDictField* ParticleDict::Find(std::string_view name) const {
    for (const ParticleDictField& field : Fields) {
        if (field.Name == name) return &field;
    }
    return nullptr;
}

bool LooksLikeParticleDict(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    bytes = Trim(bytes.substr(0, 4096));
    for (std::string_view start :
         {"<?xml", "<!DOCTYPE plist", "<plist", "<particleEmitterConfig"}) {
        if (!bytes.starts_with(start)) continue;
        // The whole name: "<plistish" is no property list.
        const char next = bytes.size() > start.size() ? bytes[start.size()] : '>';
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' ||
            next == '\n') {
            return true;
        }
    }
    return false;
}

std::optional<ParticleDict> ReadParticleDict(std::string_view bytes, std::string* error) {
    const auto fail = [error](std::string why) {
        return RefuseImport<ParticleDict>(error, std::move(why));
    };
    if (bytes.size() > kMaxImportBytes) return fail(ImportTooLarge());
    pugi::xml_document document;
    // XML's own five entities and character references only; no DTD, no external files.
    const unsigned options = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol;
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), options, pugi::encoding_utf8);
    if (!parsed) {
        return fail(std::string("no well-formed XML (") + parsed.description() + " at byte " +
                    std::to_string(parsed.offset) + ")");
    }
    const LineIndex lines(bytes);
    ParticleDict dict;
    const pugi::xml_node root = document.document_element();
    const std::string_view root_name = root.name();
    if (root_name == "plist") {
        const pugi::xml_node inner = root.child("dict");
        if (!inner) return fail("a property list without a <dict>");
        dict.Format = ParticleDictFormat::Plist;
        ReadPlist(inner, lines, dict);
    } else if (root_name == "particleEmitterConfig") {
        dict.Format = ParticleDictFormat::Pex;
        ReadPex(root, lines, dict);
    } else {
        return fail("neither a property list (<plist>) nor a <particleEmitterConfig>");
    }
    return dict;
}

}  // namespace pp

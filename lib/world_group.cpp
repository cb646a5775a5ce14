// Groups: several effects loaded at one place from one file and moved and removed as one. A
// group file's members load as effect files; a libGDX file's emitters load as the texts its
// import gives, each drawing the image its path names beside the file.
#include <string>

#include "effects/effect_group.h"
#include "effects/effect_text.h"
#include "effects/loader.h"
#include "lib/world_access.h"
#include "particleplayer/world.h"
#if PP_IMPORT
#include "import/gdx_import.h"
#include "import/gdx_reader.h"
#endif

namespace particleplayer {
namespace {

Result<EffectGroup> NoMember(std::string why) {
    return {{}, std::move(why), ErrorKind::File};
}

#if PP_IMPORT
// The emitters of a .p file's bytes, or nullopt when they are no such file.
std::optional<Result<EffectGroup>> LoadGdxGroup(World& world, std::string_view bytes,
                                                const std::string& openPath, float x, float y,
                                                LoadOptions options) {
    if (!pp::LooksLikeGdxEffect(bytes)) return std::nullopt;
    std::string why;
    std::optional<pp::GdxImport> gdx = pp::ImportGdxEffect(bytes, nullptr, &why);
    if (!gdx) return NoMember("not a .p effect: " + why);
    // The texts' SpriteFile names are file names beside the .p file.
    options.Folder = pp::FolderOf(openPath);
    Result<EffectGroup> out;
    for (const pp::ImportedEffect& emitter : gdx->Emitters) {
        const Result<Effect> loaded = world.LoadEffectText(emitter.Text, x, y, options);
        if (loaded.Ok()) out.Value.Members.push_back(loaded.Value);
    }
    if (out.Value.Members.empty()) return NoMember("no emitter of '" + openPath + "' loads");
    return out;
}
#endif

}  // namespace

Result<EffectGroup> World::LoadEffectGroup(std::string_view path, float x, float y,
                                           const LoadOptions& options) {
    const std::string name(path);
    const std::string folder = WorldAccess::LoadFolder(*this, options);
    const std::string open = pp::EffectOpenPathIn(folder, name);
    std::string whyNot;
    const std::optional<pp::EffectFile> file =
        pp::ReadEffectFile(open, pp::kMaxEffectFileBytes, &whyNot);
    if (name.empty() || !file) {
        return NoMember("could not read the effect file '" + name + "' (" + whyNot + ")");
    }
#if PP_IMPORT
    if (auto gdx = LoadGdxGroup(*this, file->Bytes, open, x, y, options)) return std::move(*gdx);
#endif
    const std::optional<pp::EffectGroupFile> group = pp::ReadEffectGroup(file->Bytes, name, folder);
    const std::vector<std::string> members =
        group ? group->Members : std::vector<std::string>{name};
    Result<EffectGroup> out;
    for (const std::string& member : members) {
        const Result<Effect> loaded = LoadEffectFile(member, x, y, options);
        if (loaded.Ok()) out.Value.Members.push_back(loaded.Value);
    }
    if (out.Value.Members.empty()) return NoMember("no member of the group '" + name + "' loads");
    return out;
}

std::string WorldAccess::SeveralEffects(const std::string& open_path, const std::string& name) {
#if PP_IMPORT
    const std::optional<pp::EffectFile> file =
        pp::ReadEffectFile(open_path, pp::kMaxEffectFileBytes);
    if (!file || !pp::LooksLikeGdxEffect(file->Bytes)) return {};
    const std::optional<pp::GdxImport> gdx = pp::ImportGdxEffect(file->Bytes, nullptr, nullptr);
    if (!gdx || gdx->Emitters.size() < 2) return {};
    return "'" + name + "' holds " + std::to_string(gdx->Emitters.size()) +
           " emitters, more than one effect: World::LoadEffectGroup loads them all";
#else
    (void)open_path, (void)name;
    return {};
#endif
}

Status World::SetGroupPosition(const EffectGroup& group, float x, float y) {
    bool any = false;
    for (const Effect member : group.Members) any = SetPosition(member, x, y).Ok() || any;
    if (!any) return {"no effect of the group is in this world", ErrorKind::Argument};
    return {};
}

Status World::RemoveGroup(const EffectGroup& group) {
    bool any = false;
    for (const Effect member : group.Members) any = RemoveEffect(member).Ok() || any;
    if (!any) return {"no effect of the group is in this world", ErrorKind::Argument};
    return {};
}

}  // namespace particleplayer

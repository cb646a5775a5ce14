// A group file: an effect text whose one key, Group, lists effect files that play together at
// one place, in the listed order, each drawn over the ones before it. Members are named
// relative to the group file's own folder ('\' or '/' between folders); a member that is a
// group itself is left out, so that groups never nest and no chain of them can loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pp {

// More members than this is a mistake, not an effect; the rest are left out.
inline constexpr std::size_t kMaxGroupMembers = 64;

// Something about a member that keeps it out, at the member's place in the group file.
struct GroupProblem {
    int32_t Line = 1;
    int32_t Column = 1;
    std::string Message;
};

// The members that play, named as the group file's path is (to be opened from the same
// folder), and why the others do not.
struct EffectGroupFile {
    std::vector<std::string> Members;
    std::vector<GroupProblem> Problems;
};

// Whether the effect text is a group's: it gives the Group key a value.
bool IsGroupText(std::string_view text);

// The group in `bytes`, the file at `path` opened from `folder` ("" for the working directory),
// or nullopt when they are no group's. A member that cannot be read, that is a group itself, or
// beyond kMaxGroupMembers is left out with a problem; an empty list is a problem too.
std::optional<EffectGroupFile> ReadEffectGroup(std::string_view bytes, const std::string& path,
                                               const std::string& folder);

// The same for the file itself; nullopt when it cannot be read or is no group.
std::optional<EffectGroupFile> ReadEffectGroupFile(const std::string& path,
                                                   const std::string& folder);

}  // namespace pp

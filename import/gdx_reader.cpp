// Reads a libGDX .p file line by line into emitters, sections and fields.
#include "import/gdx_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pp {
namespace {

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// "- Name -" (trimmed) gives "Name"; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    if (line.size() < 4 || line.substr(0, 2) != "- " || line.substr(line.size() - 2) != " -") {
        return std::nullopt;
    }
    return Trim(line.substr(2, line.size() - 4));
}

bool IsImageSection(std::string_view name) {
    return name == "Image Paths" || name == "Image Path";
}

// The file's lines, trimmed, without their line ends ("\n", "\r\n" or a lone "\r"), each cut
// at kMaxGdxLineBytes; a UTF-8 byte order mark before the first is dropped.
std::vector<std::string_view> LinesOf(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        std::size_t end = bytes.find_first_of("\r\n");
        const std::string_view line = bytes.substr(0, end);
        lines.push_back(Trim(line.substr(0, kMaxGdxLineBytes)));
        if (end == std::string_view::npos) break;
        if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++end;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

class Reader {
  public:
    explicit Reader(std::vector<std::string_view> lines) : lines_(std::move(lines)) {}
    GdxFile Run();

  private:
    void Find(std::size_t index, std::string message) {
        if (out_.Findings.size() < 1000) {
            out_.Findings.push_back({static_cast<int32_t>(index + 1), 1, std::move(message)});
        }
    }
    // A line that names an emitter: any line but a section's, a field's or a blank one, and,
    // outside a section, a field-like line followed by the "- Delay -" that starts every
    // emitter.
    bool IsName(std::size_t index) const;
    void StartEmitter(std::size_t index, std::string name);
    void StartSection(std::size_t index, std::string_view name);

    std::vector<std::string_view> lines_;
    GdxFile out_;
    GdxSection* section_ = nullptr;  // where fields go; nullptr drops them
    bool paths_ = false;             // in an image path list
    bool full_ = false;              // kMaxGdxEmitters met: the rest is dropped
};

bool Reader::IsName(std::size_t index) const {
    const std::string_view line = lines_[index];
    if (line.empty() || SectionName(line)) return false;
    const bool field = line.find(':') != std::string_view::npos;
    // Inside a section a field-like line is a field, whatever follows it.
    if (field && section_ != nullptr) return false;
    for (std::size_t next = index + 1; next < lines_.size(); ++next) {
        if (lines_[next].empty()) continue;
        const auto name = SectionName(lines_[next]);
        if (name && *name == "Delay") return true;
        break;
    }
    return !field;
}

void Reader::StartEmitter(std::size_t index, std::string name) {
    section_ = nullptr;
    if (out_.Emitters.size() == kMaxGdxEmitters) {
        if (!full_) {
            Find(index, "more than " + std::to_string(kMaxGdxEmitters) +
                            " emitters: this one and those after it are left out");
        }
        full_ = true;
        return;
    }
    GdxEmitter& emitter = out_.Emitters.emplace_back();
    emitter.Name = std::move(name);
    emitter.Line = static_cast<int32_t>(index + 1);
}

void Reader::StartSection(std::size_t index, std::string_view name) {
    section_ = nullptr;
    if (full_) return;
    if (out_.Emitters.empty()) {
        Find(index, "'" + std::string(name) +
                        "' comes before any emitter's name: read as an "
                        "emitter without one");
        StartEmitter(index, "");
    }
    GdxEmitter& emitter = out_.Emitters.back();
    if (emitter.Find(name) != nullptr) {
        Find(index, "'" + std::string(name) + "' is repeated in emitter '" + emitter.Name +
                        "': the first is kept");
        return;
    }
    if (emitter.Sections.size() == kMaxGdxSections) {
        Find(index, "'" + std::string(name) + "': more than " + std::to_string(kMaxGdxSections) +
                        " sections in one emitter: left out");
        return;
    }
    GdxSection& section = emitter.Sections.emplace_back();
    section.Name = std::string(name);
    section.Line = static_cast<int32_t>(index + 1);
    section_ = &section;
    paths_ = IsImageSection(name);
}

GdxFile Reader::Run() {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view line = lines_[i];
        const auto section = SectionName(line);
        if (paths_) {
            if (line.empty() || section) {
                paths_ = false;
                section_ = nullptr;
            } else {
                if (full_) continue;
                std::vector<GdxImagePath>& paths = out_.Emitters.back().ImagePaths;
                if (paths.size() < kMaxGdxImagePaths) {
                    paths.push_back({std::string(line), static_cast<int32_t>(i + 1)});
                } else if (paths.size() == kMaxGdxImagePaths) {
                    Find(i, "more than " + std::to_string(kMaxGdxImagePaths) +
                                " image paths: the rest are left out");
                }
                continue;
            }
        }
        if (line.empty()) continue;
        if (section) {
            StartSection(i, *section);
        } else if (IsName(i)) {
            StartEmitter(i, std::string(line));
        } else if (section_ == nullptr) {
            if (!full_) Find(i, "'" + std::string(line) + "' is in no section: ignored");
        } else if (section_->Fields.size() == kMaxGdxFields) {
            Find(i, "more than " + std::to_string(kMaxGdxFields) + " lines in '" + section_->Name +
                        "': the rest are left out");
            section_ = nullptr;
        } else {
            const std::size_t colon = line.find(':');
            section_->Fields.push_back({std::string(Trim(line.substr(0, colon))),
                                        std::string(Trim(line.substr(colon + 1))),
                                        static_cast<int32_t>(i + 1)});
        }
    }
    return std::move(out_);
}

}  // namespace

const GdxField* GdxSection::Find(std::string_view key) const {
    const auto it = std::find_if(Fields.begin(), Fields.end(),
                                 [&](const GdxField& field) { return field.Key == key; });
    return it == Fields.end() ? nullptr : &*it;
}

const GdxSection* GdxEmitter::Find(std::string_view section) const {
    const auto it = std::find_if(Sections.begin(), Sections.end(),
                                 [&](const GdxSection& s) { return s.Name == section; });
    return it == Sections.end() ? nullptr : &*it;
}

bool LooksLikeGdxEffect(std::string_view bytes) {
    const std::vector<std::string_view> lines = LinesOf(bytes.substr(0, 4096));
    std::size_t seen = 0;
    for (const std::string_view line : lines) {
        if (line.empty()) continue;
        if (const auto name = SectionName(line)) return *name == "Delay" || seen > 0;
        // Our texts and the XML formats have '=' or '<' on their first lines; a name has none.
        if (++seen > 1 || line.find_first_of("=<{") != std::string_view::npos) return false;
    }
    return false;
}

std::optional<GdxFile> ReadGdxFile(std::string_view bytes, std::string* error) {
    const auto fail = [error](std::string why) {
        return RefuseImport<GdxFile>(error, std::move(why));
    };
    if (bytes.size() > kMaxImportBytes) return fail(ImportTooLarge());
    GdxFile file = Reader(LinesOf(bytes)).Run();
    if (std::none_of(file.Emitters.begin(), file.Emitters.end(),
                     [](const GdxEmitter& e) { return !e.Sections.empty(); })) {
        return fail("no emitter: no line names one before its sections");
    }
    return file;
}

bool GdxTimesInSeconds(const GdxFile& file) {
    double most = 0;
    for (const GdxEmitter& emitter : file.Emitters) {
        for (std::string_view name : {"Duration", "Life"}) {
            const GdxSection* s = emitter.Find(name);
            if (s == nullptr) continue;
            for (std::string_view key : {"lowMin", "lowMax", "highMin", "highMax"}) {
                const GdxField* field = s->Find(key);
                double value = 0;
                if (field == nullptr) continue;
                const char* begin = field->Value.data();
                std::from_chars(begin, begin + field->Value.size(), value);
                if (std::isfinite(value)) most = std::max(most, std::fabs(value));
            }
        }
    }
    return most > 0 && most <= 10;
}

std::string_view GdxFileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace pp

// The edit model: an effect file's bytes changed one key's value at a time, every edit checked
// against the effect reader before it is kept.
#include "particleplayer/edit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "effects/effect_text.h"
#include "effects/extends_chain.h"
#include "effects/loader.h"

namespace particleplayer {
namespace {

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

// The text the reader reads (line ends dropped, as JoinedLines drops them) and, for each of
// its characters, the byte of the file it came from.
struct Joined {
    std::string Text;
    std::vector<std::size_t> ByteOf;

    explicit Joined(std::string_view bytes) {
        Text.reserve(bytes.size());
        ByteOf.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (IsLineEnd(bytes[i])) continue;
            Text += bytes[i];
            ByteOf.push_back(i);
        }
    }
    std::size_t After(std::size_t textIndex) const { return ByteOf[textIndex] + 1; }
};

// What the reader gives for each key of the table, in table order.
std::vector<std::string> ReadEveryKey(const std::string& text) {
    std::vector<std::string> values;
    for (const KeyInfo& key : EffectKeys()) values.push_back(pp::FindEntry(text, key.Name));
    return values;
}

// The file's first line end, or none for a file of one line.
std::string_view LineEndOf(std::string_view bytes) {
    const std::size_t at = bytes.find_first_of("\r\n");
    if (at == std::string_view::npos) return {};
    if (bytes[at] == '\r') return at + 1 < bytes.size() && bytes[at + 1] == '\n' ? "\r\n" : "\r";
    return "\n";
}

// The spaces that begin the line holding `byte`; a tab would join the name, so only spaces.
std::string_view IndentOfLine(std::string_view bytes, std::size_t byte) {
    std::size_t start = byte;
    while (start > 0 && !IsLineEnd(bytes[start - 1])) --start;
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] == ' ') ++end;
    return bytes.substr(start, end - start);
}

// Where and what to insert so that the file gains the entry `entry` after its last one.
std::pair<std::size_t, std::string> AppendEntry(std::string_view bytes, const Joined& joined,
                                                std::string_view entry) {
    const std::string& text = joined.Text;
    const pp::EntryList list = pp::ScanEntries(text, {0, text.size()});
    const pp::ListEntry* last = nullptr;
    for (const pp::ListEntry& e : list.Entries) {
        if (!pp::TrimSpaces(text, e.Whole).Empty()) last = &e;
    }
    if (last == nullptr) return {0, std::string(entry)};
    const std::string_view lineEnd = LineEndOf(bytes);
    const pp::TextRange whole = pp::TrimSpaces(text, last->Whole);
    const std::string_view indent = IndentOfLine(bytes, joined.ByteOf[whole.Begin]);
    const std::string gap =
        lineEnd.empty() ? std::string(" ") : std::string(lineEnd) + std::string(indent);
    // A file whose last entry ends with a comma keeps ending with one.
    if (last->Whole.End < text.size() && text[last->Whole.End] == ',') {
        return {joined.After(last->Whole.End), gap + std::string(entry) + ","};
    }
    return {joined.After(whole.End - 1), "," + gap + std::string(entry)};
}

}  // namespace

EffectEdit::EffectEdit(std::string bytes) : bytes_(std::move(bytes)) {}

Result<EffectEdit> EffectEdit::Open(const std::string& path) {
    std::string why;
    std::optional<pp::EffectFile> file = pp::ReadEffectFile(path, pp::kMaxEffectFileBytes, &why);
    if (!file) return {EffectEdit{}, "cannot open " + path + ": " + why, ErrorKind::File};
    if (file->More) {
        return {EffectEdit{}, path + " is longer than the 1 MiB an effect file is read to",
                ErrorKind::File};
    }
    return EffectEdit(std::move(file->Bytes));
}

std::optional<KeySpan> EffectEdit::Find(std::string_view key) const {
    const Joined joined(bytes_);
    const std::string& text = joined.Text;
    const std::string read = pp::FindEntry(text, key);
    const pp::EntryList list = pp::ScanEntries(text, {0, text.size()});
    for (const pp::ListEntry& e : list.Entries) {
        if (e.Name.Empty() || e.Name.Of(text) != key) continue;
        // The reader's own lookup decides; an entry it does not reach is no place to edit.
        if (e.Value.Of(text) != read) return std::nullopt;
        KeySpan span;
        span.NameBegin = joined.ByteOf[e.Name.Begin];
        if (e.Value.Empty()) {
            span.Begin = span.End = joined.After(e.Equals.back());
        } else {
            span.Begin = joined.ByteOf[e.Value.Begin];
            span.End = joined.After(e.Value.End - 1);
        }
        span.Text = bytes_.substr(span.Begin, span.End - span.Begin);
        return span;
    }
    return std::nullopt;
}

Status EffectEdit::Set(std::string_view key, std::string_view value) {
    if (FindEffectKey(key) == nullptr) {
        std::string message = "'";
        message += key;
        message += "' is not a key";
        return Status(message, ErrorKind::Argument);
    }
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    for (const char c : value) {
        if (IsLineEnd(c)) return Status("a value holds no line end", ErrorKind::Argument);
    }
    const Joined joined(bytes_);
    std::string edited;
    if (const std::optional<KeySpan> span = Find(key)) {
        // An empty value is written one space after its '='.
        const bool bare = span->Begin == span->End;
        edited = bytes_.substr(0, span->Begin) + (bare ? " " : "") + std::string(value) +
                 bytes_.substr(span->End);
    } else {
        const auto [at, entry] =
            AppendEntry(bytes_, joined, std::string(key) + " = " + std::string(value));
        edited = bytes_.substr(0, at) + entry + bytes_.substr(at);
    }
    std::vector<std::string> expected = ReadEveryKey(joined.Text);
    const std::vector<std::string> got = ReadEveryKey(Joined(edited).Text);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (EffectKeys()[i].Name == key) expected[i] = value;
    }
    if (got != expected) {
        return Status("'" + std::string(value) + "' as the value of " + std::string(key) +
                          " would not read back as written",
                      ErrorKind::Argument);
    }
    if (edited == bytes_) return {};
    Step();
    bytes_ = std::move(edited);
    return {};
}

void EffectEdit::SetBytes(std::string bytes) {
    if (bytes == bytes_) return;
    Step();
    bytes_ = std::move(bytes);
}

void EffectEdit::Step() {
    redo_.clear();
    if (dragging_ && dragStepped_) return;
    undo_.push_back(bytes_);
    dragStepped_ = dragging_;
}

void EffectEdit::BeginDrag() {
    dragging_ = true;
    dragStepped_ = false;
}

void EffectEdit::EndDrag() {
    dragging_ = false;
    dragStepped_ = false;
}

bool EffectEdit::Undo() {
    if (undo_.empty()) return false;
    redo_.push_back(std::exchange(bytes_, std::move(undo_.back())));
    undo_.pop_back();
    dragStepped_ = false;
    return true;
}

bool EffectEdit::Redo() {
    if (redo_.empty()) return false;
    undo_.push_back(std::exchange(bytes_, std::move(redo_.back())));
    redo_.pop_back();
    dragStepped_ = false;
    return true;
}

Status EffectEdit::Save(const std::string& path) const {
    auto failed = [&](const char* what) {
        return Status("cannot " + std::string(what) + " " + path + ": " + std::strerror(errno),
                      ErrorKind::File);
    };
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return failed("write beside");
    // The file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < bytes_.size()) {
        const ssize_t n = write(fd, bytes_.data() + done, bytes_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        const Status status = failed("save");
        std::remove(temp.c_str());
        return status;
    }
    return {};
}

std::vector<ParentFile> OpenParents(const EffectEdit& edit, const std::string& path,
                                    const std::string& folder) {
    std::vector<ParentFile> parents;
    // The loader's own chain decides which files count: depth, cycles and the bytes read.
    pp::ExtendsChain chain;
    chain.SetFolder(folder);
    chain.Enter(chain.Open(path));
    const EffectEdit* child = &edit;
    for (;;) {
        const std::optional<KeySpan> extends = child->Find("Extends");
        if (!extends || extends->Text.empty()) break;
        const pp::ChainFile next = chain.Open(extends->Text);
        if (next.Stop != pp::ChainStop::None || !next.File) break;
        Result<EffectEdit> opened = EffectEdit::Open(next.OpenPath);
        if (!opened.Ok()) break;
        chain.Enter(next);
        parents.push_back(ParentFile{next.OpenPath, std::move(opened.Value)});
        child = &parents.back().Edit;
    }
    return parents;
}

const ParentFile* InheritedFrom(std::span<const ParentFile> parents, std::string_view key) {
    const KeyInfo* info = FindEffectKey(key);
    if (info == nullptr) return nullptr;
    for (const ParentFile& parent : parents) {
        const std::optional<KeySpan> span = parent.Edit.Find(key);
        if (span && !std::holds_alternative<std::monostate>(ReadKeyValue(*info, span->Text))) {
            return &parent;
        }
    }
    return nullptr;
}

}  // namespace particleplayer

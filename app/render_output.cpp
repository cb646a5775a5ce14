#include "app/render_output.h"

#include <png.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/json_text.h"
#include "app/png_writer.h"
#include "particleplayer/screen.h"

namespace pp {
namespace {

// Frames, sheets and pictures of render stay within these.
constexpr int32_t kMaxFrameSide = 4096;
constexpr int64_t kMaxSheetSide = particleplayer::kMaxPixelSide;  // the PNG writer's limit
constexpr int64_t kMaxSheetBytes = int64_t{1} << 30;
// A clip held for --crop auto: every frame as R, G, B, A bytes.
constexpr int64_t kMaxHeldBytes = int64_t{2} << 30;
// Lit pixels keep this many pixels of room around them in --crop auto's box.
constexpr int32_t kCropMargin = 4;

bool EndsWith(std::string_view path, std::string_view ending) {
    if (path.size() < ending.size()) return false;
    std::string tail(path.substr(path.size() - ending.size()));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ending;
}

std::optional<int> HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return std::nullopt;
}

// "WxH" with two whole numbers from 1 to max.
std::optional<std::pair<int32_t, int32_t>> ParseSize(std::string_view text, int64_t max) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto w = ParseIntArg(text.substr(0, x), 1, max);
    const auto h = ParseIntArg(text.substr(x + 1), 1, max);
    if (!w || !h) return std::nullopt;
    return std::pair{static_cast<int32_t>(*w), static_cast<int32_t>(*h)};
}

std::optional<std::string> ReadBackground(std::string_view value, ExportOptions& options) {
    if (value == "transparent") {
        options.Under = ExportOptions::Background::Transparent;
        return std::nullopt;
    }
    if (!value.empty() && value[0] == '#') {
        if (value.size() != 7)
            return "--background wants #RRGGBB, not '" + std::string(value) + "'";
        for (size_t c = 0; c < 3; ++c) {
            const auto high = HexDigit(value[1 + 2 * c]);
            const auto low = HexDigit(value[2 + 2 * c]);
            if (!high || !low) {
                return "--background wants #RRGGBB, not '" + std::string(value) + "'";
            }
            options.Colour[c] = static_cast<uint8_t>(*high * 16 + *low);
        }
        options.Under = ExportOptions::Background::Colour;
        return std::nullopt;
    }
    if (EndsWith(value, ".png") && value.size() > 4) {
        options.Under = ExportOptions::Background::Image;
        options.Image = value;
        return std::nullopt;
    }
    return "--background wants transparent, #RRGGBB or a .png picture, not '" + std::string(value) +
           "'";
}

std::optional<std::string> ReadCrop(std::string_view value, ExportOptions& options) {
    if (value == "auto") {
        options.CropAuto = true;
        return std::nullopt;
    }
    int64_t parts[4] = {};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = i < 3 ? value.find(',', start) : value.size();
        if (comma == std::string_view::npos) return "--crop wants auto or X,Y,W,H";
        const auto part =
            ParseIntArg(value.substr(start, comma - start), i < 2 ? 0 : 1, kMaxFrameSide);
        if (!part) return "--crop wants auto or X,Y,W,H (whole numbers, W and H above 0)";
        parts[i] = *part;
        start = comma + 1;
    }
    options.Crop = PixelBox{static_cast<int32_t>(parts[0]), static_cast<int32_t>(parts[1]),
                            static_cast<int32_t>(parts[2]), static_cast<int32_t>(parts[3])};
    return std::nullopt;
}

// Whole pixels of a side scaled by `scale`: rounded, at least 1; a video's even, at least 2.
int32_t Scaled(int32_t side, double scale, bool even) {
    const double exact = static_cast<double>(side) * scale;
    if (even) return std::max(2, 2 * static_cast<int32_t>(std::lround(exact / 2.0)));
    return std::max(1, static_cast<int32_t>(std::lround(exact)));
}

// A video's sides are even: an odd box loses its last column or row.
PixelBox EvenBox(PixelBox box) {
    box.Width = std::max(2, box.Width - box.Width % 2);
    box.Height = std::max(2, box.Height - box.Height % 2);
    return box;
}

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// A JSON string of the text: quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The sheet's frames in the TexturePacker JSON-array layout: each cell's rectangle, left to
// right and top to bottom, with its duration, and one tag that loops over all of them.
std::string SheetJson(int64_t frames, int32_t columns, int32_t cellWidth, int32_t cellHeight,
                      int64_t frameMs, const std::string& image, int32_t width, int32_t height) {
    std::string text = "{\"frames\": [\n";
    const auto add = [&text](const char* key, int64_t value, const char* after) {
        text += std::string("\"") + key + "\": ";
        AppendJsonInt(text, value);
        text += after;
    };
    for (int64_t k = 0; k < frames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05lld", static_cast<long long>(k + 1));
        text += std::string("  {\"filename\": \"") + name + "\", \"frame\": {";
        add("x", k % columns * cellWidth, ", ");
        add("y", k / columns * cellHeight, ", ");
        add("w", cellWidth, ", ");
        add("h", cellHeight, "}, \"rotated\": false, \"trimmed\": false, \"spriteSourceSize\": {");
        add("x", 0, ", ");
        add("y", 0, ", ");
        add("w", cellWidth, ", ");
        add("h", cellHeight, "}, \"sourceSize\": {");
        add("w", cellWidth, ", ");
        add("h", cellHeight, "}, ");
        add("duration", frameMs, k + 1 < frames ? "},\n" : "}\n");
    }
    text += "],\n\"meta\": {\"app\": \"particleplayer render\", \"image\": " + JsonString(image) +
            ", \"format\": \"RGBA8888\", \"size\": {";
    add("w", width, ", ");
    add("h", height, "}, \"scale\": \"1\", \"frameTags\": [{\"name\": \"loop\", \"from\": 0, ");
    add("to", frames - 1, ", \"direction\": \"forward\"}]}}\n");
    return text;
}

}  // namespace

std::optional<std::string> LoadBackground(const std::string& path, int32_t width, int32_t height,
                                          RgbaFrame& frame) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        png_image_free(&image);
        return "cannot read the background picture " + path;
    }
    if (image.width != static_cast<png_uint_32>(width) ||
        image.height != static_cast<png_uint_32>(height)) {
        const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
        png_image_free(&image);
        return "the background picture " + path + " is " + size + ", the frame " +
               std::to_string(width) + " x " + std::to_string(height) + " (see --size)";
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return "cannot read the background picture " + path;
    }
    frame = RgbaFrame{width, height, std::move(rgba)};
    for (size_t i = 0; i + 3 < frame.Pixels.size(); i += 4) {
        const int alpha = frame.Pixels[i + 3];
        for (size_t c = 0; c < 3; ++c) {
            frame.Pixels[i + c] = static_cast<uint8_t>((frame.Pixels[i + c] * alpha + 127) / 255);
        }
        frame.Pixels[i + 3] = 255;
    }
    return std::nullopt;
}

bool ReadExportOption(ArgWalker& walk, ExportOptions& options, std::optional<std::string>& error) {
    const std::string_view name = walk.Name();
    if (name != "--background" && name != "--size" && name != "--crop" && name != "--scale" &&
        name != "--alpha-from" && name != "--sheet" && name != "--loop") {
        return false;
    }
    options.Any = true;
    const std::string value(walk.Value().value_or(""));
    if (name == "--background") {
        error = ReadBackground(value, options);
    } else if (name == "--size") {
        const auto size = ParseSize(value, kMaxFrameSide);
        if (size) options.Size = FrameSize{size->first, size->second};
        if (!size) error = "--size wants WxH, each from 1 to 4096, not '" + value + "'";
    } else if (name == "--crop") {
        error = ReadCrop(value, options);
    } else if (name == "--scale") {
        double scale = 0.0;
        const auto [end, code] = std::from_chars(value.data(), value.data() + value.size(), scale);
        if (code != std::errc() || end != value.data() + value.size() || !(scale >= 0.01) ||
            !(scale <= 16.0)) {
            error = "--scale wants a factor from 0.01 to 16, not '" + value + "'";
        }
        options.Scale = scale;
    } else if (name == "--loop") {
        double seconds = 0.0;
        const auto [end, code] =
            std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (code != std::errc() || end != value.data() + value.size() || !(seconds >= 0.05) ||
            !(seconds <= 600.0)) {
            error = "--loop wants seconds from 0.05 to 600, not '" + value + "'";
        }
        options.LoopSeconds = seconds;
    } else if (name == "--alpha-from") {
        options.AlphaGiven = true;
        if (value == "coverage") {
            options.Alpha = AlphaFrom::Coverage;
        } else if (value == "brightness") {
            options.Alpha = AlphaFrom::Brightness;
        } else {
            error = "--alpha-from wants coverage or brightness, not '" + value + "'";
        }
    } else {
        options.Sheet = true;
        if (value != "auto") {
            const auto cells = ParseSize(value, 256);
            if (cells) {
                options.Columns = cells->first;
                options.Rows = cells->second;
            } else {
                error = "--sheet wants auto or COLSxROWS, each from 1 to 256, not '" + value + "'";
            }
        }
    }
    return true;
}

std::optional<std::string> CheckExportOptions(ExportOptions& options, const std::string& out,
                                              int64_t& frames, int64_t frameMs) {
    if (!options.Any) return std::nullopt;
    if (options.LoopSeconds > 0.0) {
        if (frameMs <= 0) return "--loop needs --frame-ms above 0";
        // A quarter of the loop, drawn after it, is cross-faded into its start.
        options.LoopFrames = std::max<int64_t>(
            2, std::llround(options.LoopSeconds * 1000.0 / static_cast<double>(frameMs)));
        options.FadeFrames = std::max<int64_t>(1, options.LoopFrames / 4);
        frames = options.LoopFrames + options.FadeFrames;
        if (frames > 99999) return "--loop at this --frame-ms draws more than 99999 frames";
    }
    // The frames written: a loop's own, without those faded into its start.
    const int64_t shown = options.LoopFrames > 0 ? options.LoopFrames : frames;
    const bool video = VideoFormatOf(out).has_value();
    if (options.AlphaGiven && !options.Transparent()) {
        return "--alpha-from is for --background transparent";
    }
    if (options.Transparent() && VideoFormatOf(out) == VideoFormat::Mp4) {
        return "an .mp4 (H.264) has no alpha channel; --background transparent wants a .webm, "
               "a .gif or PNG frames";
    }
    const FrameSize size = options.Size;
    if (options.Crop) {
        const PixelBox& box = *options.Crop;
        if (int64_t{box.X} + box.Width > size.Width || int64_t{box.Y} + box.Height > size.Height) {
            return "--crop " + std::to_string(box.X) + "," + std::to_string(box.Y) + "," +
                   std::to_string(box.Width) + "," + std::to_string(box.Height) +
                   " reaches outside the " + SizeText(size.Width, size.Height) + " frame";
        }
    }
    if (options.CropAuto && options.Crop) return "--crop is auto or one box, not both";
    const int64_t framePixels = int64_t{size.Width} * size.Height;
    if (options.HoldsClip() && frames * framePixels * 4 > kMaxHeldBytes) {
        return std::string(options.CropAuto ? "--crop auto" : "--loop") +
               " holds the whole clip: " + std::to_string(frames) + " frames of " +
               SizeText(size.Width, size.Height) + " need " +
               std::to_string(frames * framePixels * 4 >> 20) +
               " MB, above 2048 MB; give the box or fewer frames";
    }
    // The largest cell: the box when given, the whole frame otherwise.
    const PixelBox most = options.Crop.value_or(PixelBox{0, 0, size.Width, size.Height});
    const int64_t cellW = Scaled(most.Width, options.Scale, video);
    const int64_t cellH = Scaled(most.Height, options.Scale, video);
    if (cellW > kMaxFrameSide || cellH > kMaxFrameSide) {
        return "--scale makes frames of " + SizeText(cellW, cellH) + ", above 4096 x 4096";
    }
    if (!options.Sheet) return std::nullopt;
    if (!EndsWith(out, ".png")) return "--sheet writes one .png picture; give --out SHEET.png";
    if (options.Columns == 0) {
        options.Columns = static_cast<int32_t>(std::ceil(std::sqrt(static_cast<double>(shown))));
        options.Rows = static_cast<int32_t>((shown + options.Columns - 1) / options.Columns);
    }
    if (int64_t{options.Columns} * options.Rows < shown) {
        return "--sheet " + std::to_string(options.Columns) + "x" + std::to_string(options.Rows) +
               " holds " + std::to_string(options.Columns * options.Rows) + " frames, not " +
               std::to_string(shown);
    }
    const int64_t sheetW = options.Columns * cellW;
    const int64_t sheetH = options.Rows * cellH;
    if (sheetW > kMaxSheetSide || sheetH > kMaxSheetSide || sheetW * sheetH * 4 > kMaxSheetBytes) {
        return "a sheet of " + SizeText(sheetW, sheetH) + " pixels is too large (at most " +
               std::to_string(kMaxSheetSide) +
               " a side and 1024 MB); use --scale, --crop or fewer frames";
    }
    return std::nullopt;
}

std::string Output::PathOf(int64_t frame) const {
    if (!File.empty()) return File.string();
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05lld.png", static_cast<long long>(frame));
    return (Folder / name).string();
}

std::optional<std::string> PrepareOutput(const std::string& out, Output& output) {
    std::filesystem::path folder;
    if (EndsWith(out, ".png")) {
        output.File = out;
        folder = output.File.parent_path();
    } else if (VideoFormatOf(out)) {
        output.VideoPath = out;
        folder = output.VideoPath.parent_path();
    } else {
        output.Folder = out;
        folder = output.Folder;
    }
    if (folder.empty()) return std::nullopt;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return "cannot create the folder " + folder.string() + ": " + error.message();
    if (!std::filesystem::is_directory(folder, error)) {
        return folder.string() + " is not a folder";
    }
    return std::nullopt;
}

FrameExporter::FrameExporter(const ExportOptions& options, Output& output, int64_t frames,
                             int64_t frameMs, FrameRate rate)
    : options_(options), output_(output), frames_(frames), frameMs_(frameMs), rate_(rate) {}

PixelBox FrameExporter::CutBox() const {
    const int32_t width = options_.Size.Width, height = options_.Size.Height;
    PixelBox box{0, 0, width, height};
    if (options_.Crop) box = *options_.Crop;
    if (options_.CropAuto && lit_) box = WithMargin(*lit_, kCropMargin, width, height);
    return output_.VideoPath.empty() || options_.Scale != 1.0 ? box : EvenBox(box);
}

std::optional<std::string> FrameExporter::Start(particleplayer::World& world) {
    if (options_.LoopFrames > 0) {
        for (const particleplayer::Effect effect : world.Effects()) {
            const auto extras = world.Extras(effect);
            if (extras.Ok() && (extras.Value.BurstCount > 0 || extras.Value.Duration > 0.0f)) {
                return std::string(
                    "--loop is for effects that emit steadily without end; one of these comes "
                    "in bursts (Burst) or stops (Duration)");
            }
        }
    }
    const int32_t width = options_.Size.Width, height = options_.Size.Height;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    background_ = RgbaFrame{width, height, std::vector<uint8_t>(pixels * 4)};
    particleplayer::Status status;
    if (options_.Under == ExportOptions::Background::Colour) {
        for (size_t p = 0; p < pixels; ++p) {
            std::copy(options_.Colour.begin(), options_.Colour.end(), &background_.Pixels[p * 4]);
            background_.Pixels[p * 4 + 3] = 255;
        }
        status = particleplayer::SetBackground(options_.Colour[0], options_.Colour[1],
                                               options_.Colour[2]);
    } else if (options_.Under == ExportOptions::Background::Image) {
        if (auto error = LoadBackground(options_.Image, width, height, background_)) return error;
        std::vector<uint8_t> rgb(pixels * 3);
        for (size_t p = 0; p < pixels; ++p) {
            std::copy_n(&background_.Pixels[p * 4], 3, &rgb[p * 3]);
        }
        status = particleplayer::SetBackgroundImage(rgb, width, height);
    } else if (options_.Under == ExportOptions::Background::Black) {
        for (size_t p = 0; p < pixels; ++p) background_.Pixels[p * 4 + 3] = 255;
    }
    if (!status.Ok()) return status.Error;
    const PixelBox box = CutBox();
    const bool video = !output_.VideoPath.empty();
    cellWidth_ = Scaled(box.Width, options_.Scale, video && options_.Scale != 1.0);
    cellHeight_ = Scaled(box.Height, options_.Scale, video && options_.Scale != 1.0);
    if (options_.Sheet && !options_.HoldsClip()) {
        sheet_ = RgbaFrame{options_.Columns * cellWidth_, options_.Rows * cellHeight_, {}};
        sheet_.Pixels.resize(static_cast<size_t>(sheet_.Width) *
                             static_cast<size_t>(sheet_.Height) * 4);
    }
    if (video && !options_.HoldsClip()) return OpenVideo(cellWidth_, cellHeight_);
    return std::nullopt;
}

std::optional<std::string> FrameExporter::OpenVideo(int32_t width, int32_t height) {
    if (const auto error = video_.Open(output_.VideoPath.string(), width, height, rate_, {},
                                       options_.Transparent())) {
        return error->Text;
    }
    output_.Video = &video_;
    return std::nullopt;
}

std::optional<std::string> FrameExporter::TakeFrame(particleplayer::World& world, int64_t frame) {
    if (!particleplayer::ReadPixels(black_, particleplayer::PixelOrder::Bgr).Ok())
        return std::string("the screen went away while drawing");
    const int32_t width = options_.Size.Width, height = options_.Size.Height;
    RgbaFrame drawn;
    if (options_.Transparent()) {
        // The same particles again over white: what shows through is the alpha.
        particleplayer::SetBackground(255, 255, 255);
        particleplayer::DrawFrame(world, false);
        particleplayer::SetBackground(0, 0, 0);
        if (!particleplayer::ReadPixels(white_, particleplayer::PixelOrder::Bgr).Ok())
            return std::string("the screen went away while drawing");
        drawn = AlphaFromBlackAndWhite(width, height, black_, white_, options_.Alpha);
    } else {
        drawn = OpaqueFrame(width, height, black_);
    }
    if (!options_.HoldsClip()) return Emit(frame, drawn);
    held_.push_back(std::move(drawn));
    return std::nullopt;
}

// Frame i of the first FadeFrames is mixed with frame LoopFrames + i, which follows the loop's
// last frame as frame i follows its first: the weight of the later one falls from almost all
// to almost none, so the last frame leads into the first as into the frame after it.
void FrameExporter::CrossFadeLoop() {
    const int64_t n = options_.LoopFrames, fade = options_.FadeFrames;
    if (static_cast<int64_t>(held_.size()) != n + fade) return;
    for (int64_t i = 0; i < fade; ++i) {
        std::vector<uint8_t>& early = held_[static_cast<size_t>(i)].Pixels;
        const std::vector<uint8_t>& late = held_[static_cast<size_t>(n + i)].Pixels;
        const int64_t weight = i + 1;  // of the early frame, out of fade + 1
        for (size_t b = 0; b < early.size() && b < late.size(); ++b) {
            early[b] = static_cast<uint8_t>(
                (early[b] * weight + late[b] * (fade + 1 - weight) + (fade + 1) / 2) / (fade + 1));
        }
    }
    held_.resize(static_cast<size_t>(n));
}

std::optional<std::string> FrameExporter::Emit(int64_t frame, const RgbaFrame& drawn) {
    const RgbaFrame cell = Resample(Cut(drawn, CutBox()), cellWidth_, cellHeight_);
    if (options_.Sheet) {
        const int64_t k = frame - 1;
        Paste(cell, sheet_, static_cast<int32_t>(k % options_.Columns) * cellWidth_,
              static_cast<int32_t>(k / options_.Columns) * cellHeight_);
        return std::nullopt;
    }
    const bool alpha = options_.Transparent();
    if (output_.Video != nullptr) {
        return alpha ? output_.Video->AddFrameRgba(StraightRgba(cell))
                     : output_.Video->AddFrameBgr(BgrOverBlack(cell));
    }
    const auto png = alpha ? EncodePngFromRgba(cell.Width, cell.Height, StraightRgba(cell))
                           : EncodePngFromBgr(cell.Width, cell.Height, BgrOverBlack(cell));
    if (!png) return std::string("cannot encode the frame as PNG");
    return WriteFileAtomically(output_.PathOf(frame), *png);
}

std::optional<std::string> FrameExporter::EmitHeldFrames() {
    const PixelBox box = CutBox();
    const bool video = !output_.VideoPath.empty();
    cellWidth_ = Scaled(box.Width, options_.Scale, video && options_.Scale != 1.0);
    cellHeight_ = Scaled(box.Height, options_.Scale, video && options_.Scale != 1.0);
    if (options_.Sheet) {
        sheet_ = RgbaFrame{options_.Columns * cellWidth_, options_.Rows * cellHeight_, {}};
        sheet_.Pixels.resize(static_cast<size_t>(sheet_.Width) *
                             static_cast<size_t>(sheet_.Height) * 4);
    }
    if (video) {
        if (auto error = OpenVideo(cellWidth_, cellHeight_)) return error;
    }
    // A single .png holds only the last frame; the folder and video every one.
    const int64_t first = frames_ - static_cast<int64_t>(held_.size()) + 1;
    for (size_t i = 0; i < held_.size(); ++i) {
        if (auto error = Emit(first + static_cast<int64_t>(i), held_[i])) return error;
        held_[i] = RgbaFrame{};
    }
    return std::nullopt;
}

std::optional<std::string> FrameExporter::FinishSheet(std::string& wrote,
                                                      std::string& spriteSheet) {
    const std::string cells = SizeText(cellWidth_, cellHeight_);
    const char* plural = frames_ == 1 ? "" : "s";
    const auto png = EncodePngFromRgba(sheet_.Width, sheet_.Height, StraightRgba(sheet_));
    if (!png) return std::string("cannot encode the sheet as PNG");
    if (auto error = WriteFileAtomically(output_.File.string(), *png)) return error;
    std::filesystem::path json = output_.File;
    json.replace_extension(".json");
    const std::string text =
        SheetJson(frames_, options_.Columns, cellWidth_, cellHeight_, frameMs_,
                  output_.File.filename().string(), sheet_.Width, sheet_.Height);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()),
                                         text.size());
    if (auto error = WriteFileAtomically(json.string(), bytes)) return error;
    wrote = "wrote " + std::to_string(frames_) + " frame" + plural + " as a " +
            std::to_string(options_.Columns) + " x " + std::to_string(options_.Rows) +
            " sheet of " + cells + " cells to " + output_.File.string() + " and " + json.string();
    char line[160];
    std::snprintf(line, sizeof line,
                  "SpriteSheet = {Columns = %d, Rows = %d, Frames = %lld, Rate = %.9g}",
                  options_.Columns, options_.Rows, static_cast<long long>(frames_),
                  frameMs_ > 0 ? 1000.0 / static_cast<double>(frameMs_) : 0.0);
    spriteSheet = line;
    return std::nullopt;
}

std::optional<std::string> FrameExporter::Finish(std::string& wrote, std::string& spriteSheet) {
    if (options_.LoopFrames > 0) {
        CrossFadeLoop();
        frames_ = options_.LoopFrames;
    }
    if (options_.CropAuto) {
        for (const RgbaFrame& frame : held_) GrowLitBox(frame, background_, lit_);
    }
    if (options_.HoldsClip()) {
        if (auto error = EmitHeldFrames()) return error;
    }
    if (options_.Sheet) return FinishSheet(wrote, spriteSheet);
    const std::string cells = SizeText(cellWidth_, cellHeight_);
    const char* plural = frames_ == 1 ? "" : "s";
    if (output_.Video != nullptr) {
        if (auto error = video_.Finish()) return error;
        wrote = "wrote " + std::to_string(frames_) + " frame" + plural + " of " + cells + " to " +
                output_.VideoPath.string();
    } else if (output_.File.empty()) {
        wrote = "wrote " + std::to_string(frames_) + " frame" + plural + " of " + cells + " into " +
                output_.Folder.string();
    } else {
        wrote = "wrote frame " + std::to_string(frames_) + " of " + cells + " to " +
                output_.File.string();
    }
    return std::nullopt;
}

}  // namespace pp

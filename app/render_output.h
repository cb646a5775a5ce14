// render's ways of taking frames out for other programs: a background (a colour, a picture
// or none, with straight alpha), another frame size, a cut-out (given, or the box of every lit
// pixel of the clip), a scale, and a flipbook sheet with its JSON file. Without any of these
// options render writes its frames as it always does and none of this runs.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_args.h"
#include "app/frame_image.h"
#include "app/scene.h"
#include "app/video_writer.h"
#include "particleplayer/world.h"

namespace pp {

struct ExportOptions {
    enum class Background { Black, Colour, Image, Transparent };
    Background Under = Background::Black;
    std::array<uint8_t, 3> Colour{};  // R, G, B of --background #RRGGBB
    std::string Image;                // --background PICTURE.png
    AlphaFrom Alpha = AlphaFrom::Coverage;
    bool AlphaGiven = false;
    FrameSize Size;
    bool CropAuto = false;
    std::optional<PixelBox> Crop;
    double Scale = 1.0;
    bool Sheet = false;
    int32_t Columns = 0, Rows = 0;  // 0: chosen from the frame count (--sheet auto)
    double LoopSeconds = 0.0;       // --loop; 0 for none
    int64_t LoopFrames = 0;         // the loop's frames, and the frames after them that are
    int64_t FadeFrames = 0;         // cross-faded into its first ones (CheckExportOptions)
    bool Any = false;               // one of the options was given

    bool Transparent() const { return Under == Background::Transparent; }
    // The whole clip is held until its end: for the box of its lit pixels or its loop.
    bool HoldsClip() const { return CropAuto || LoopFrames > 0; }
};

// Reads the walker's current option when it is one of render's export options and returns
// true; `error` then holds the message for a bad value. False for any other argument.
bool ReadExportOption(ArgWalker& walk, ExportOptions& options, std::optional<std::string>& error);

// The options' message when they do not go together or with `out`, `frames` and `frameMs`,
// or when the frames, a held clip or a sheet would not fit in memory or a file: all checked
// before anything is drawn. Fills in the sheet's columns and rows when chosen automatically,
// and for --loop the frames to draw in place of `frames`.
std::optional<std::string> CheckExportOptions(ExportOptions& options, const std::string& out,
                                              int64_t& frames, int64_t frameMs);

// Where the frames go: every frame into Folder or Video, or only the last one into File
// unless the file is a sheet of every frame.
struct Output {
    std::filesystem::path Folder;
    std::filesystem::path File;
    std::filesystem::path VideoPath;
    VideoWriter* Video = nullptr;  // open while rendering into VideoPath
    bool Every = false;            // a .png file that is a sheet or a loop takes every frame too

    bool Wants(int64_t frame, int64_t frames) const {
        return File.empty() || Every || frame == frames;
    }
    std::string PathOf(int64_t frame) const;
};

// The frames of one render with export options, from the first drawn frame to the files.
class FrameExporter {
  public:
    // `frameMs` is the clip's frame step, `rate` a video's frames per second.
    FrameExporter(const ExportOptions& options, Output& output, int64_t frames, int64_t frameMs,
                  FrameRate rate);

    // Before the first frame, with the screen open and the effects loaded: a loop's effects
    // checked, the background set and the video opened when its size is known already. A
    // one-line reason on failure.
    std::optional<std::string> Start(particleplayer::World& world);

    // Takes frame `frame` (1 to frames) just drawn into the screen: read back, redrawn over
    // white for transparency, then cut, scaled and written, or held for the clip's box.
    std::optional<std::string> TakeFrame(particleplayer::World& world, int64_t frame);

    // After the last frame: the held frames written, the video or sheet finished. A one-line
    // reason on failure; on success the line that says what was written, and for a sheet the
    // SpriteSheet line for stdout.
    std::optional<std::string> Finish(std::string& wrote, std::string& spriteSheet);

  private:
    std::optional<std::string> Emit(int64_t frame, const RgbaFrame& drawn);
    void CrossFadeLoop();
    // Sizes the cells (and sheet) from the held frames' box and writes every held frame.
    std::optional<std::string> EmitHeldFrames();
    // Writes the sheet's PNG and JSON and says so in `wrote` and `spriteSheet`.
    std::optional<std::string> FinishSheet(std::string& wrote, std::string& spriteSheet);
    std::optional<std::string> OpenVideo(int32_t width, int32_t height);
    PixelBox CutBox() const;

    const ExportOptions& options_;
    Output& output_;
    int64_t frames_;
    int64_t frameMs_;
    FrameRate rate_;
    VideoWriter video_;
    RgbaFrame background_;  // the frame with nothing drawn on it
    std::vector<RgbaFrame> held_;
    std::optional<PixelBox> lit_;
    RgbaFrame sheet_;
    int32_t cellWidth_ = 0, cellHeight_ = 0;
    std::vector<uint8_t> black_, white_;
};

// The PNG picture at path as a background, alpha laid over black; a one-line reason when it
// cannot be read or is not width x height.
std::optional<std::string> LoadBackground(const std::string& path, int32_t width, int32_t height,
                                          RgbaFrame& frame);

// Creates the folder the frames go into; a one-line reason when that fails.
std::optional<std::string> PrepareOutput(const std::string& out, Output& output);

}  // namespace pp

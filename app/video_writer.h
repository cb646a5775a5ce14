// Writing frames as a video file through FFmpeg's libraries: H.264 in .mp4, VP9 in .webm, and
// GIF with a palette made from each frame in .gif. Encoders run on one thread with fixed
// settings and the files carry no dates or library versions, so the same frames give the same
// bytes. The file is written under a temporary name beside it and renamed when finished.
// The encoders live in a module of their own (particleplayer-video.so), loaded with FFmpeg's
// libraries on the first video only: linked into the program, those libraries and their own
// (some 130 shared objects) would load at every start and take a quarter of its time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pp {

enum class VideoFormat { Mp4, WebM, Gif };

// The format a file name asks for by its ending (.mp4, .webm, .gif in any case); nullopt for
// any other name.
std::optional<VideoFormat> VideoFormatOf(std::string_view path);

// Frames per second as the fraction Num / Den, both positive.
struct FrameRate {
    int32_t Num = 0;
    int32_t Den = 1;
};

// A rate from 0.001 to 1000 written as a decimal number ("30", "62.5", "23.976"), at most three
// digits after the point; nullopt for anything else.
std::optional<FrameRate> ParseFrameRate(std::string_view text);

struct VideoError {
    enum Kind { NoEncoder, Failed };
    Kind What = Failed;
    std::string Text;  // one line
};

// The NoEncoder error that VideoWriter::Open would give for path, found without touching a
// file; nullopt when the encoder is there.
std::optional<VideoError> CheckVideoEncoder(const std::string& path);

// Where the video module is loaded from, for a program that keeps it elsewhere than beside
// itself or in the installed library folder (tests in the build tree). Before the first video.
void SetVideoModulePath(std::string path);

class VideoEncoder;

class VideoWriter {
  public:
    VideoWriter();
    // An unfinished video's temporary file is removed.
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Starts the video at path in the format its name asks for, width x height pixels (even
    // numbers from 2 to 4096) at `rate`. `encoder` names the encoder to use in place of the
    // format's usual one. A NoEncoder error, before any file is touched, when this FFmpeg has
    // none for the format. With alpha the frames keep their transparency: VP9 with an alpha
    // plane (yuva420p) in a .webm, one transparent colour in a .gif; an .mp4 is refused.
    std::optional<VideoError> Open(const std::string& path, int32_t width, int32_t height,
                                   FrameRate rate, std::string_view encoder = {},
                                   bool alpha = false);

    // Adds the next frame, given as top-down rows of B, G, R bytes (width * 3 per row, no
    // padding). A GIF above 50 frames a second leaves out the frames that would show for
    // less than two hundredths of a second, so that it keeps its speed in players. A
    // one-line reason when it cannot.
    std::optional<std::string> AddFrameBgr(std::span<const uint8_t> bgr);

    // The same for a video opened with alpha: top-down rows of R, G, B, A bytes with straight
    // alpha. A GIF shows the pixels under half opaque as its transparent colour.
    std::optional<std::string> AddFrameRgba(std::span<const uint8_t> rgba);

    // Writes what the encoder still holds and the file's end, and gives the file its name.
    std::optional<std::string> Finish();

  private:
    std::optional<std::string> AddFrame(std::span<const uint8_t> pixels, size_t channels);

    std::unique_ptr<VideoEncoder> encoder_;
    bool alpha_ = false;
};

}  // namespace pp

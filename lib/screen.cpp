#include "particleplayer/screen.h"

#include <algorithm>
#include <string>

#include "draw/frame.h"
#include "draw/gl_screen.h"
#include "draw/quad_sprites.h"
#include "draw/sprites.h"
#include "image/image_decoders.h"
#include "image/texture_bytes.h"
#include "lib/sprite_files.h"
#include "lib/world_access.h"
#include "platform/video.h"
#include "platform/window.h"
#if PP_IMPORT
#include "import/effect_file.h"
#endif

namespace particleplayer {
namespace {

// The window number the library's screen lives in.
constexpr int32_t kWindow = 0;
// A caption with a system menu, centred on the desktop.
constexpr uint32_t kWindowFlags = 0x00C80001;

constexpr char kNoScreenOpen[] = "no screen is open";

// A failed step of the start-up, with the video library's own words as its cause.
Status VideoProblem(const char* what, ErrorKind kind) {
    std::string text = pp::VideoErrorText();
    return {std::string(what) + (text.empty() ? "" : ": " + text), kind, text};
}

// Limits the video drivers as `display` asks, before the video system starts.
Status ChooseDisplay(ScreenDisplay display) {
    if (display == ScreenDisplay::None) {
        pp::UseOffscreenVideo();
    } else if (display == ScreenDisplay::Announced &&
               pp::ChooseDisplayDrivers() == pp::DisplayDrivers::NoDisplay) {
        constexpr char kUnset[] = "DISPLAY and WAYLAND_DISPLAY are unset";
        return {std::string("no display is announced: ") + kUnset, ErrorKind::NoVideo, kUnset};
    }
    return {};
}

// The library's own window screen is open (not a Renderer's screen in the host's context).
bool WindowScreenOpen() {
    return pp::ScreenWidth() != 0 && !pp::ScreenInHostContext();
}

}  // namespace

Status OpenScreen(const ScreenOptions& options) {
    if (options.Width < 1 || options.Width > kMaxPixelSide || options.Height < 1 ||
        options.Height > kMaxPixelSide) {
        return {
            "the screen size must be 1 to " + std::to_string(kMaxPixelSide) + " pixels each way",
            ErrorKind::Argument};
    }
    if (pp::ScreenInHostContext()) return {"a Renderer is open", ErrorKind::State};
    if (Status chosen = ChooseDisplay(options.Display); !chosen.Ok()) return chosen;
    pp::ClearVideoError();
    const bool graphics = pp::InitGraphics() != 0;
    pp::InitQuadSprites();
    // Without a video system no window opens; its own words say why.
    if (!graphics) return VideoProblem("cannot start the video system", ErrorKind::NoVideo);
    const uint32_t flags = kWindowFlags | (options.Hidden ? pp::kWindowHidden : 0u);
    const char* title = options.Title != nullptr ? options.Title : "";
    if (pp::WindowOpen(kWindow, 0, 0, options.Width, options.Height, title, flags) == nullptr) {
        return VideoProblem("cannot open the window", ErrorKind::NoWindow);
    }
    pp::ClearVideoError();
    if (pp::OpenScreenInWindow(pp::WindowHandle(kWindow), 0, 0, options.Width, options.Height) ==
        0) {
        pp::WindowClose(kWindow);
        return VideoProblem("cannot open an OpenGL 3.3 screen", ErrorKind::NoScreen);
    }
    pp::EnablePngDecoder();
#if PP_IMPORT
    pp::EnableEffectFileSprites();
#endif
    return {};
}

namespace {

// Loads the image as sprite and quad sprite `number`; a one-sentence reason when it fails.
std::string LoadWindowSprite(int32_t number, const std::string& name) {
    if (pp::LoadSpriteImage(number, name.c_str(), pp::SpriteUsableAsQuad | pp::SpriteKeepAlpha) ==
        nullptr) {
        return "cannot load the sprite '" + name + "'";
    }
    if (pp::CreateQuadSprite(number, number) == nullptr) {
        return "cannot draw the sprite '" + name + "'";
    }
    return "";
}

// The world's own images, before its frame draws them.
void LoadSpriteFilesOf(World& world) {
    LoadWorldSpriteFiles(WorldAccess::EngineOf(world), [](int32_t number, const std::string& path) {
        return LoadWindowSprite(number, path).empty();
    });
}

}  // namespace

Status LoadSprite(int32_t number, std::string_view path) {
    if (number < 0) return {"sprite numbers start at 0", ErrorKind::Argument};
    if (!WindowScreenOpen()) return {kNoScreenOpen, ErrorKind::State};
    KeepHostSprite(number);
    std::string why = LoadWindowSprite(number, std::string(path));
    if (why.empty()) return {};
    return {std::move(why), ErrorKind::File};
}

Status SetBackground(uint8_t red, uint8_t green, uint8_t blue) {
    if (!WindowScreenOpen()) return {kNoScreenOpen, ErrorKind::State};
    pp::SetScreenBackground(int32_t{red} | int32_t{green} << 8 | int32_t{blue} << 16);
    return {};
}

Status SetBackgroundImage(std::span<const uint8_t> rgb, int32_t width, int32_t height) {
    if (!WindowScreenOpen()) return {kNoScreenOpen, ErrorKind::State};
    if (width != pp::ScreenWidth() || height != pp::ScreenHeight()) {
        return {"the background is " + std::to_string(width) + " x " + std::to_string(height) +
                    ", the screen " + std::to_string(pp::ScreenWidth()) + " x " +
                    std::to_string(pp::ScreenHeight()),
                ErrorKind::Argument};
    }
    if (!pp::SetScreenBackgroundImage(rgb))
        return {"the background's bytes do not fit its size", ErrorKind::Argument};
    return {};
}

Status DrawFrame(World& world, bool update) {
    if (!WindowScreenOpen()) return {kNoScreenOpen, ErrorKind::State};
    LoadSpriteFilesOf(world);
    pp::RunEngineFrame(WorldAccess::EngineOf(world),
                       update ? pp::FrameUpdate::Run : pp::FrameUpdate::Skip);
    return {};
}

Status DrawTimedFrame(World& world, FrameTimes& times, bool update) {
    if (!WindowScreenOpen()) return {kNoScreenOpen, ErrorKind::State};
    LoadSpriteFilesOf(world);
    pp::FrameTiming timing;
    pp::RunEngineFrame(WorldAccess::EngineOf(world),
                       update ? pp::FrameUpdate::Run : pp::FrameUpdate::Skip, &timing);
    times.UpdateSeconds = update ? timing.UpdateSeconds : 0.0;
    times.SubmissionSeconds = timing.DrawSeconds - timing.Quads.DrawSeconds;
    times.DrawCallSeconds = timing.Quads.DrawSeconds;
    times.PresentSeconds = timing.PresentSeconds;
    times.Quads = timing.Quads.Quads;
    times.Threads = timing.Threads;
    return {};
}

Status ReadPixels(std::vector<uint8_t>& rgb) {
    return ReadPixels(rgb, PixelOrder::Rgb);
}

Status ReadPixels(std::vector<uint8_t>& pixels, PixelOrder order) {
    pixels.clear();
    if (!WindowScreenOpen() || !pp::ReadScreenPixels(pixels)) {
        return {kNoScreenOpen, ErrorKind::State};
    }
    if (order == PixelOrder::Rgb) {
        for (size_t i = 0; i + 2 < pixels.size(); i += 3) std::swap(pixels[i], pixels[i + 2]);
    }
    return {};
}

PixelSize ScreenSize() {
    return {pp::ScreenWidth(), pp::ScreenHeight()};
}

void SetScreenTitle(const char* title) {
    pp::SetWindowTitle(kWindow, title);
}

ScreenEvent WaitScreenEvent(int32_t timeout_ms) {
    const int32_t event = pp::WaitEvent(timeout_ms);
    if (event == 0) return ScreenEvent::None;
    return event == pp::kEventCloseRequested ? ScreenEvent::CloseRequested : ScreenEvent::Other;
}

namespace {

KeyboardHook& HostKeyboardHook() {
    static KeyboardHook hook = nullptr;
    return hook;
}

// The window's key names are the public ones, number for number.
void PassKey(int32_t key) {
    if (const KeyboardHook hook = HostKeyboardHook()) hook(static_cast<KeyboardKey>(key));
}

static_assert(static_cast<int32_t>(KeyboardKey::Other) == pp::kKeyOther &&
              static_cast<int32_t>(KeyboardKey::Escape) == pp::kKeyEscape &&
              static_cast<int32_t>(KeyboardKey::Space) == pp::kKeySpace &&
              static_cast<int32_t>(KeyboardKey::R) == pp::kKeyR &&
              static_cast<int32_t>(KeyboardKey::S) == pp::kKeyS);

}  // namespace

void SetKeyboardHook(KeyboardHook hook) {
    HostKeyboardHook() = hook;
    pp::SetKeyPressHook(hook != nullptr ? &PassKey : nullptr);
}

std::string SpriteImageProblem(std::span<const uint8_t> bytes) {
    // The decoders the screen loads sprites with: BMP always, PNG once a screen is open.
    std::string bmpError;
    std::string pngError;
    if (pp::DecodeImageWith(pp::BmpDecoder(), bytes, 0, &bmpError)) return "";
    if (pp::DecodeImageWith(pp::PngDecoder(), bytes, 0, &pngError)) return "";
    const auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), bytes.begin(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    };
    if (startsWith("\x89PNG") && !pngError.empty()) return "a broken PNG (" + pngError + ")";
    if (startsWith("BM") && !bmpError.empty()) return "a broken BMP (" + bmpError + ")";
    return bytes.empty() ? "an empty file, not an image" : "not a PNG or BMP image";
}

void CloseScreen() {
    if (pp::ScreenInHostContext()) return;  // the Renderer's, not ours to close
    ForgetSpriteFiles();
    pp::KeepLoadedLibrariesUntilExit();
    pp::CloseAllWindows();
    pp::ShutdownGraphics();
    pp::FreeAllQuadSprites();
    pp::EndVideo();
}

}  // namespace particleplayer

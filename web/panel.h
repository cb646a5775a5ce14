// The editor's panel on the page: the desktop editor's key widgets and findings
// (app/edit_panel.h) drawn by Dear ImGui into a canvas of their own beside the player's, in a
// WebGL 2 context of its own, so the panel never touches the player's pixels. The page's text
// box stays the view of the text: the panel's edits go through the edit model, and the page
// saves the bytes the model gives as it saves a typed text.
#pragma once

#include <optional>
#include <string>

namespace pp {

// Opens the model on `bytes`, the file `path` (check's name for it), its Extends paths opened
// from `folder`, drawn with the image `sprite` (the picture of a sheet's cells; "" for none);
// the panel starts on the canvas `selector` the first time. False when the browser gives that
// canvas no WebGL 2 context.
bool OpenPagePanel(const char* selector, std::string bytes, std::string path, std::string folder,
                   const std::string& sprite);

// The page's text box was typed in: the model takes the whole text, one undo step.
void SetPagePanelText(std::string bytes);

// One frame of the panel, when it is open: the bytes after an edit made in it, else nothing.
std::optional<std::string> PagePanelFrame();

// The canvas rectangle "x y width height" of the widget `label` of key `key` (none when empty)
// under the number `index` (none when negative) as the last frame laid it out, for the page's
// tests; "" when that frame had no such widget.
std::string PagePanelWidgetRect(const char* key, const char* label, int index);

// The parent file the author chose to open ("open the parent"), once; "" when none was chosen.
std::string TakePagePanelOpenRequest();

// Frames the panel has drawn since it started.
int PagePanelFrames();

}  // namespace pp

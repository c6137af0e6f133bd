// The picture editor (template 105): loads a text picture, shows it with its
// carriage returns and line feeds as "<" and "^" under a 90-column ruler,
// saves it as a picture file, and opens the paper preview beside it.
#pragma once

#include <cstdint>

#include "dialogs/dialog_builder.h"

namespace tavirel {

struct LineSettings;

// Paths longer than this are refused, never cut; a loaded path keeps room
// for the ".mod" of the save path made from it.
inline constexpr int kMaxPicturePath = 255;
// Larger files are refused whole: no picture comes near it, and reading a
// device or a mistaken disk image must end.
inline constexpr std::int64_t kMaxPictureFile = 16 * 1024 * 1024;

// The editor built and initialised, not yet shown; owned by the caller. The
// preview times the print with the line settings, which must outlive it.
TemplateDialog* BuildPictureEditor(QWidget* owner, const LineSettings* line);

// Runs the editor modally; returns 1.
int RunPictureEditor(QWidget* owner, const LineSettings* line);

}  // namespace tavirel

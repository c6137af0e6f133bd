// The About box (template 100): the program's name with the running
// system's version, a picture of a terminal and how to use the program.
#pragma once

#include <QString>
#include <string_view>

#include "dialogs/dialog_builder.h"
#include "resources/ids.h"

namespace tavirel {

struct KernelVersion {
    int major = 0;
    int minor = 0;
};

// Major and minor of a kernel release such as "6.1.0-18-amd64"; a part that
// is missing or not a number is 0.
KernelVersion ParseKernelRelease(std::string_view release);
KernelVersion RunningKernelVersion();

// The text of the scrolling box: lines end in "\r\n", an empty line between
// paragraphs.
QString AboutText();

// The About dialog built and initialised, not yet shown; owned by the caller.
TemplateDialog* BuildAboutDialog(QWidget* owner);

// Runs the About box modally; returns 1.
int RunAboutDialog(QWidget* owner);

}  // namespace tavirel

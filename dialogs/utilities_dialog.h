// The Utilities dialog (template 104): an input path and four "Do It"
// buttons, one per converter (convert/converter.h), and the output path each
// one derived. Conversions run to their end inside the button's command.
#pragma once

#include "dialogs/dialog_builder.h"

namespace tavirel {

// Built and wired, not yet shown; owned by the caller. Conversions carry the
// process's converter states.
TemplateDialog* BuildUtilitiesDialog(QWidget* owner);

// Runs the dialog modally until Exit; returns 1.
int RunUtilitiesDialog(QWidget* owner);

}  // namespace tavirel

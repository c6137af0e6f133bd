// Diagnostics for developers: the debug level of the "tavirel.link" logging
// category, off unless enabled (QT_LOGGING_RULES="tavirel.link.debug=true"),
// and failures with their reasons at warning level. Never in a dialog, never
// written to a file by us.
#pragma once

#include <QLoggingCategory>
#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace tavirel {

// printf-style text with one count, such as "\n%ld bytes written".
void LinkDiagnostic(const char* format, long count);

// A failed step and its reason, at warning level (shown without asking).
void LinkWarning(const char* what, int error);

}  // namespace tavirel

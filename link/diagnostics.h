// Diagnostics for developers: the debug level of the "tavirel.link" logging
// category, off unless enabled (QT_LOGGING_RULES="tavirel.link.debug=true").
// Never shown to the operator, never written to a file by us. Why a port could
// not be opened goes out at warning level, which is on by default.
#pragma once

#include <QLoggingCategory>
#include <cstdint>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace tavirel {

// printf-style text, such as "\n%ld bytes written"; the compiler checks the
// arguments against the format.
void LinkDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A warning in the same category, such as why a port was refused.
void LinkWarning(const std::string& text);

}  // namespace tavirel

// Diagnostics for developers: the debug level of the "tavirel.link" logging
// category, off unless enabled (QT_LOGGING_RULES="tavirel.link.debug=true").
// Never shown to the operator, never written to a file by us.
#pragma once

#include <QLoggingCategory>
#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace tavirel {

// printf-style text with one count, such as "\n%ld bytes written".
void LinkDiagnostic(const char* format, long count);

}  // namespace tavirel

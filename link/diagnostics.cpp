#include "link/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <string>

Q_LOGGING_CATEGORY(lcLink, "tavirel.link", QtInfoMsg)

namespace tavirel {

void LinkDiagnostic(const char* format, ...) {
    if (!lcLink().isDebugEnabled())
        return;
    char text[96];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    qCDebug(lcLink).noquote() << text;
}

void LinkWarning(const std::string& text) {
    qCWarning(lcLink).noquote() << QString::fromStdString(text);
}

}  // namespace tavirel

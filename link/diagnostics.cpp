#include "link/diagnostics.h"

#include <cstdio>
#include <string>

Q_LOGGING_CATEGORY(lcLink, "tavirel.link", QtInfoMsg)

namespace tavirel {

void LinkDiagnostic(const char* format, long count) {
    if (!lcLink().isDebugEnabled())
        return;
    char text[96];
    std::snprintf(text, sizeof text, format, count);
    qCDebug(lcLink).noquote() << text;
}

void LinkWarning(const std::string& text) {
    qCWarning(lcLink).noquote() << QString::fromStdString(text);
}

}  // namespace tavirel

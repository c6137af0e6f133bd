#include "link/diagnostics.h"

#include <cstdio>
#include <string>
#include <system_error>

Q_LOGGING_CATEGORY(lcLink, "tavirel.link", QtInfoMsg)

namespace tavirel {

void LinkDiagnostic(const char* format, long count) {
    if (!lcLink().isDebugEnabled())
        return;
    char text[96];
    std::snprintf(text, sizeof text, format, count);
    qCDebug(lcLink).noquote() << text;
}

void LinkWarning(const char* what, int error) {
    const std::string reason = std::generic_category().message(error);
    qCWarning(lcLink).noquote() << QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                                QString::fromStdString(reason));
}

}  // namespace tavirel

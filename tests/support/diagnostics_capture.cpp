#include "tests/support/diagnostics_capture.h"

#include <algorithm>

namespace tavirel::test {

namespace {
std::mutex mutex;
std::vector<std::string> lines;
}  // namespace

DiagnosticsCapture::DiagnosticsCapture() {
    std::lock_guard lock(mutex);
    lines.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("tavirel.link.debug=true"));
    previous_ = qInstallMessageHandler(&DiagnosticsCapture::Handler);
}

DiagnosticsCapture::~DiagnosticsCapture() {
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QString());
}

void DiagnosticsCapture::Handler(QtMsgType, const QMessageLogContext&, const QString& text) {
    std::lock_guard lock(mutex);
    lines.push_back(text.toStdString());
}

std::vector<std::string> DiagnosticsCapture::Lines() {
    std::lock_guard lock(mutex);
    return lines;
}

bool DiagnosticsCapture::Contains(const std::string& text) {
    std::lock_guard lock(mutex);
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

}  // namespace tavirel::test

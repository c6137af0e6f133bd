#include "tests/support/diagnostics_capture.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace tavirel::test {

namespace {
std::mutex mutex;
std::vector<std::string> lines;
}  // namespace

DiagnosticsCapture::DiagnosticsCapture() {
    std::lock_guard lock(mutex);
    lines.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("tavirel.link.debug=true"));
    previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& t) {
        std::lock_guard inner(mutex);
        lines.push_back(t.toStdString());
    });
}

DiagnosticsCapture::~DiagnosticsCapture() {
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QString());
}

int DiagnosticsCapture::Count(const std::string& text) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos;
    }));
}

}  // namespace tavirel::test

#pragma once

#include <QLoggingCategory>
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace tavirel::test {

// Collects the link's diagnostics while it lives; warnings begin "warning: ".
class DiagnosticsCapture {
  public:
    DiagnosticsCapture() {
        std::lock_guard lock(mutex);
        lines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("tavirel.link.debug=true"));
        previous_ =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& t) {
                std::lock_guard inner(mutex);
                lines.push_back((type == QtWarningMsg ? "warning: " : "") + t.toStdString());
            });
    }
    ~DiagnosticsCapture() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    static int Count(const std::string& text) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::ranges::count_if(
            lines, [&](const auto& l) { return l.find(text) != std::string::npos; }));
    }
    static bool Contains(const std::string& text) { return Count(text) > 0; }

  private:
    static inline std::mutex mutex;
    static inline std::vector<std::string> lines;
    QtMessageHandler previous_;
};

}  // namespace tavirel::test

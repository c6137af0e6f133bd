// Collects the link's diagnostics while a test runs.
#pragma once

#include <QLoggingCategory>
#include <mutex>
#include <string>
#include <vector>

namespace tavirel::test {

class DiagnosticsCapture {
  public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    std::vector<std::string> Lines();
    bool Contains(const std::string& text);

  private:
    static void Handler(QtMsgType, const QMessageLogContext&, const QString&);
    QtMessageHandler previous_;
};

}  // namespace tavirel::test

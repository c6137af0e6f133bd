// Collects the link's diagnostics while a test runs.
#pragma once

#include <QLoggingCategory>
#include <string>

namespace tavirel::test {

class DiagnosticsCapture {
  public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    // How many of the diagnostics so far hold text.
    static int Count(const std::string& text);
    static bool Contains(const std::string& text) { return Count(text) > 0; }

  private:
    QtMessageHandler previous_;
};

}  // namespace tavirel::test

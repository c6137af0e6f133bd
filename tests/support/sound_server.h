// A private sound server for the tests: a PulseAudio of our own in a runtime
// folder of our own (XDG_RUNTIME_DIR, set for the whole process while it
// runs), with null sinks and, for each sink, a source that hears it (Qt 6.4
// lists no monitor sources).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavirel::test {

class SoundServer {
  public:
    // Sinks by name; each has the source "<name>_in" that hears it.
    explicit SoundServer(const std::vector<std::string>& sinks);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool ok() const { return ok_; }
    // Why it did not start.
    const std::string& error() const { return error_; }
    // The server goes away as if it crashed.
    void Kill();
    // The environment a program needs to use this server, as "NAME=value "
    // words to put before a shell command.
    std::string Environment() const;

  private:
    bool ok_ = false;
    std::string error_;
    std::filesystem::path dir_;
    std::optional<std::string> savedRuntimeDir_;
};

}  // namespace tavirel::test

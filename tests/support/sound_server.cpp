#include "tests/support/sound_server.h"

#include <sys/wait.h>

#include <cstdlib>

namespace tavirel::test {

namespace {

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

const std::string kScript = TAVIREL_SOUND_SERVER;

}  // namespace

SoundServer::SoundServer(const std::vector<std::string>& sinks) {
    if (Shell("command -v pulseaudio >/dev/null && command -v pactl >/dev/null") != 0) {
        error_ =
            "pulseaudio or pactl is not installed (apt-get install pulseaudio "
            "pulseaudio-utils)";
        return;
    }
    std::error_code ec;
    std::string pattern =
        (std::filesystem::temp_directory_path(ec) / "tavirel-sound-XXXXXX").string();
    if (ec || mkdtemp(pattern.data()) == nullptr) {
        error_ = "no temporary folder";
        return;
    }
    dir_ = pattern;
    if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
        savedRuntimeDir_ = old;
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    std::string command = Quoted(kScript) + " start " + Quoted(dir_.string());
    for (const std::string& sink : sinks)
        command += " " + Quoted(sink);
    if (Shell(command) != 0) {
        error_ = "the sound server did not start; see " + (dir_ / "server.log").string();
        return;
    }
    ok_ = true;
}

void SoundServer::Kill() {
    Shell(Quoted(kScript) + " kill " + Quoted(dir_.string()));
}

std::string SoundServer::Environment() const {
    return "XDG_RUNTIME_DIR=" + Quoted(dir_.string()) + " ";
}

SoundServer::~SoundServer() {
    if (dir_.empty())
        return;
    Kill();
    if (savedRuntimeDir_)
        setenv("XDG_RUNTIME_DIR", savedRuntimeDir_->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace tavirel::test

#include "convert/converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace tavirel {

namespace {

// A descriptor that the frame opened is closed on every way out of it; one
// it was given stays open.
class Fd {
  public:
    Fd(const ConverterFile& file, int flags, bool mayWait) : fd_(file.fd), owned_(file.fd < 0) {
        if (!owned_)
            return;
        fd_ = ::open(file.path.c_str(), flags | O_CLOEXEC | (mayWait ? 0 : O_NONBLOCK), 0666);
        // Reads and writes wait as usual once it is open.
        if (const int status = fd_ >= 0 && !mayWait ? ::fcntl(fd_, F_GETFL) : -1; status >= 0)
            ::fcntl(fd_, F_SETFL, status & ~O_NONBLOCK);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return fd_; }
    bool Owned() const { return owned_; }
    // Closes now; false when the system reports a failure (for an output, a
    // write it could not complete).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return !owned_ || fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
    bool owned_;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

ConverterInfo InfoFor(Converter which) {
    switch (which) {
        case Converter::AsciiToIta2:
            return {".ita", "ASCII to BAUDOT"};
        case Converter::AsciiToItaSubset:
            return {".asc", "ASCII to ITA2"};
        case Converter::Ita2ToAscii:
            return {".asc", "Binary to ASCII"};
        case Converter::CleanTape:
            return {".bdo", "Clean"};
    }
    return {"", ""};
}

std::string MakeOutputName(std::string_view inputPath, std::string_view extension) {
    const std::size_t slash = inputPath.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t cut = inputPath.find_first_not_of('.', nameStart);
    if (cut != std::string_view::npos)
        cut = inputPath.find('.', cut);
    std::string out(inputPath.substr(0, cut));
    out += extension;
    return out;
}

StreamEnd ConvertStream(Converter which, ConverterState& state, int inFd, int outFd) {
    const auto in = std::make_unique_for_overwrite<std::uint8_t[]>(kConverterBlock);
    const auto out = std::make_unique_for_overwrite<std::uint8_t[]>(MaxOutputSize(kConverterBlock));
    for (;;) {
        const ssize_t n = ::read(inFd, in.get(), kConverterBlock);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return StreamEnd::ReadFailed;
        if (n == 0)
            return StreamEnd::Complete;
        const std::size_t written = ConvertBlock(
            which, state, std::span<const std::uint8_t>(in.get(), static_cast<std::size_t>(n)),
            out.get());
        if (!WriteAll(outFd, out.get(), written))
            return StreamEnd::WriteFailed;
    }
}

int RunConverter(Converter which, const std::string& inputPath, ConverterState& state,
                 ConverterHost& host) {
    if (inputPath.empty())
        return 1;
    return RunConverter(which, ConverterFile{inputPath},
                        ConverterFile{MakeOutputName(inputPath, InfoFor(which).extension)}, state,
                        host);
}

int RunConverter(Converter which, const ConverterFile& in, const ConverterFile& out,
                 ConverterState& state, ConverterHost& host) {
    using Icon = ConverterHost::Icon;
    const std::string& inputPath = in.path;
    const std::string& outputPath = out.path;
    if (in.fd < 0 && inputPath.empty())
        return 1;
    if (in.fd < 0 && inputPath.size() > kMaxInputPath) {
        host.ShowMessage(inputPath, kPathTooLongCaption, Icon::Error);
        return 1;
    }
    Fd input(in, O_RDONLY, host.MayWaitToOpen());
    struct stat inputInfo {};
    // A folder opens but never reads: it does not exist as a file.
    if (input.get() < 0 || ::fstat(input.get(), &inputInfo) != 0 || S_ISDIR(inputInfo.st_mode)) {
        host.ShowMessage(inputPath, kInputMissingCaption, Icon::Error);
        return 1;
    }

    if (out.fd < 0 && outputPath.size() > kMaxOutputPath) {
        host.ShowMessage(outputPath, kPathTooLongCaption, Icon::Error);
        return 2;
    }
    // Opened without truncation, so that the input is untouched should this
    // be another name for it.
    Fd output(out, O_WRONLY | O_CREAT, host.MayWaitToOpen());
    struct stat outputInfo {};
    if (output.get() < 0 || ::fstat(output.get(), &outputInfo) != 0) {
        host.ShowMessage(outputPath, kCannotCreateCaption, Icon::Error);
        return 2;
    }
    // Only a file can be destroyed by writing it: a terminal may well be both.
    if (S_ISREG(inputInfo.st_mode) && outputInfo.st_dev == inputInfo.st_dev &&
        outputInfo.st_ino == inputInfo.st_ino) {
        host.ShowMessage(outputPath, kOutputIsInputCaption, Icon::Error);
        return 2;
    }
    // Devices and pipes cannot be truncated and need not be; a stream given
    // open is written where it stands.
    if (output.Owned() && S_ISREG(outputInfo.st_mode) && ::ftruncate(output.get(), 0) != 0) {
        host.ShowMessage(outputPath, kCannotCreateCaption, Icon::Error);
        return 2;
    }
    host.ShowOutputPath(outputPath);

    switch (ConvertStream(which, state, input.get(), output.get())) {
        case StreamEnd::ReadFailed:
            input.Close();
            output.Close();
            host.ShowMessage(inputPath, kReadFailedCaption, Icon::Error);
            return 1;
        case StreamEnd::WriteFailed:
            input.Close();
            output.Close();
            host.ShowMessage(outputPath, kWriteFailedCaption, Icon::Error);
            return 3;
        case StreamEnd::Complete:
            break;
    }
    input.Close();
    // Some file systems report a failed write only when the file is closed.
    if (!output.Close()) {
        host.ShowMessage(outputPath, kWriteFailedCaption, Icon::Error);
        return 3;
    }
    host.ShowMessage(kCompleteText, InfoFor(which).caption, Icon::Information);
    return 0;
}

}  // namespace tavirel

// The frame the four converters share: check the input, derive the output
// name, create the output, run the converter's step over every input byte,
// report the end. Results:
//   0  complete ("Task complete" was shown)
//   1  the input path is empty (nothing shown), too long, or the input cannot
//      be opened or read
//   2  the output cannot be created: its path is too long, it is the input
//      file itself, or the system refuses it
//   3  a write to the output failed
// A conversion that stops partway leaves what it wrote; the input is never
// written to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "convert/steps.h"

namespace tavirel {

// The dialog's path buffers: 255 characters and a terminator for the output
// path, one less for the input field. Longer paths are refused, never cut.
inline constexpr std::size_t kMaxInputPath = 254;
inline constexpr std::size_t kMaxOutputPath = 255;

// Files are read and written in blocks of this size.
inline constexpr std::size_t kConverterBlock = 64 * 1024;

struct ConverterInfo {
    const char* extension;  // with its full stop
    const char* caption;    // of the completion message
};
ConverterInfo InfoFor(Converter which);

// The output path for an input: the file name (the last path component) up
// to its first full stop, then the extension. Full stops that begin the name
// (".profile", "..") are part of it, and a folder's full stops are never cut:
// "art/cat.tar.txt" gives "art/cat.ita", "../.plan.txt" gives "../.plan.ita".
std::string MakeOutputName(std::string_view inputPath, std::string_view extension);

// How a conversion reaches its operator: the dialog shows these in its
// output field and in message boxes, the command-line tool on its streams.
class ConverterHost {
  public:
    enum class Icon { Information, Error };
    virtual ~ConverterHost() = default;
    virtual void ShowOutputPath(const std::string& path) = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption, Icon icon) = 0;
    // Whether opening a file may wait for the other end of a pipe, as a
    // command-line tool does. A window never waits: a pipe without a writer
    // then reads as empty, one without a reader cannot be created.
    virtual bool MayWaitToOpen() const { return false; }
};

// Message captions.
inline constexpr const char* kInputMissingCaption = "File doesn't exist!";
inline constexpr const char* kCannotCreateCaption = "Can't create file!";
inline constexpr const char* kWriteFailedCaption = "ERROR: Write to file failed! (disk full?)";
inline constexpr const char* kReadFailedCaption = "ERROR: Read from file failed!";
inline constexpr const char* kPathTooLongCaption = "Path too long!";
inline constexpr const char* kOutputIsInputCaption = "Output would replace the input!";
inline constexpr const char* kCompleteText = "Task complete";

// Converts inputPath into the derived output beside it.
int RunConverter(Converter which, const std::string& inputPath, ConverterState& state,
                 ConverterHost& host);

// One end of a conversion: a path the frame opens and closes, or a descriptor
// already open (fd >= 0, such as a standard stream) that it uses as it is,
// named by path in messages.
struct ConverterFile {
    std::string path;
    int fd = -1;
};
// The same between ends of the caller's choosing.
int RunConverter(Converter which, const ConverterFile& input, const ConverterFile& output,
                 ConverterState& state, ConverterHost& host);

enum class StreamEnd { Complete, ReadFailed, WriteFailed };

// The byte loop alone, between open descriptors (files or pipes), in blocks.
StreamEnd ConvertStream(Converter which, ConverterState& state, int inFd, int outFd);

}  // namespace tavirel

// Sending a file at the line's own pace. The send is driven by the window's
// write ends, never by waiting: a few characters are queued ahead, enough that
// the writer always has the next one when the line clock runs out, and each
// further one is queued when one has left the line. A character is counted
// and shown on the screen when it has left the line, so the counter, the
// screen and the paper keep step.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

#include "link/terminal_window.h"

namespace tavirel {

class FileSend {
  public:
    enum class End {
        Done,       // up to the end of the file or its first 0 byte
        Stopped,    // Stop()
        ReadError,  // the file could not be read on; error holds errno
        LineLost,   // the line took no more (closed, failed)
    };
    // sent: the zero-based index in the file of the byte that has just left
    // the line. ended: once, after the last write of the send has ended.
    struct Events {
        std::function<void(std::int64_t index)> sent;
        std::function<void(End end, int error)> ended;
    };

    // Takes file (open for reading) and closes it when the send ends. The
    // file streams through a buffer of blockSize bytes, however long it is.
    // A CR goes out before each byte whose offset crBefore lists (in order);
    // it is shown, not counted.
    FileSend(TerminalWindow* window, std::FILE* file, Events events,
             std::vector<std::size_t> crBefore = {}, std::size_t blockSize = 64000);
    ~FileSend();
    FileSend(const FileSend&) = delete;
    FileSend& operator=(const FileSend&) = delete;

    // Queues the first characters.
    void Start();
    // Every write end the window receives while the send runs.
    void OnWriteDone(const WriteDone& done);
    // No further byte is started; what is queued and what sits in the driver's
    // output is dropped. Ends the send at once.
    void Stop();
    bool Running() const { return running_; }

  private:
    struct Pending {
        std::uint64_t id;
        std::int64_t index;  // -1 for an added CR
        std::uint8_t ch;
        bool hasCode;
        bool counted;  // timed out: counted at its deadline already
    };
    // The next byte to send and its offset in the file (-1 for an added CR).
    bool NextByte(std::uint8_t& ch, std::int64_t& index);
    void Fill();
    void Sent(const Pending& p);
    void Finish(End end, int error);
    std::size_t Ahead() const;

    TerminalWindow* window_;
    std::FILE* file_;
    Events events_;
    const std::size_t blockSize_;
    std::vector<std::uint8_t> block_;
    std::size_t blockPos_ = 0;
    std::int64_t nextIndex_ = 0;
    const std::vector<std::size_t> crBefore_;
    std::size_t nextCr_ = 0;
    bool atEnd_ = false;
    int readError_ = 0;
    bool running_ = false;
    std::deque<Pending> pending_;
};

// The offsets of a regular file's lone line feeds (LoneLineFeeds,
// code/line_ends.h) up to its first 0 byte, read through and put back at its
// start. Nothing for a file that cannot be read ahead (a device, a pipe).
std::vector<std::size_t> LoneLineFeedsInFile(std::FILE* file);

}  // namespace tavirel

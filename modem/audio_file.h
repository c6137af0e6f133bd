// Audio files through libsndfile: any format, rate and channel count it
// reads in, WAV or FLAC out, and headerless 16-bit samples for pipes.
#pragma once

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavirel {

// Signed 16-bit little-endian mono, no header: what aplay and arecord take
// and give with -f S16_LE.
struct RawPcm {
    double rate = 0;  // 0: not raw, the file says what it is
};

class AudioReader {
  public:
    AudioReader() = default;
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // "-" reads standard input. On failure Error() says why.
    bool Open(const std::string& path, RawPcm raw = {});
    double Rate() const { return info_.samplerate; }
    // Up to count samples, the channels mixed to one; 0 at the end or on a
    // failure, which Error() then names. A file shorter than its header says
    // is read to its end and then reported.
    std::size_t Read(float* out, std::size_t count);
    const std::string& Error() const { return error_; }

  private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    std::vector<float> frames_;
    std::string error_;
    bool cutShort_ = false;
    // Raw samples are read here, not by libsndfile, which refuses a standard
    // input that does not start at its beginning.
    int rawFd_ = -1;
    std::vector<std::uint8_t> rawBytes_;
};

// Whether AudioWriter can write a file of this name: it ends in .wav or .flac.
bool IsAudioFileName(std::string_view path);

class AudioWriter {
  public:
    AudioWriter() = default;
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // 16-bit WAV or FLAC, chosen by the name's ending; "-" writes raw samples
    // to standard output.
    bool Open(const std::string& path, double rate);
    bool Write(const std::vector<float>& samples);
    // Completes the file; false when that failed.
    bool Close();
    const std::string& Error() const { return error_; }

  private:
    SNDFILE* file_ = nullptr;
    std::string error_;
    int rawFd_ = -1;
};

}  // namespace tavirel

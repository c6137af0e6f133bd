#include "modem/audio_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

namespace tavirel {

namespace {

bool EndsWith(std::string_view s, std::string_view end) {
    if (s.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char c = s[s.size() - end.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != end[i])
            return false;
    }
    return true;
}

}  // namespace

bool IsAudioFileName(std::string_view path) {
    return EndsWith(path, ".wav") || EndsWith(path, ".flac");
}

AudioReader::~AudioReader() {
    if (file_ != nullptr)
        sf_close(file_);
    if (rawFd_ > STDIN_FILENO)
        close(rawFd_);
}

bool AudioReader::Open(const std::string& path, RawPcm raw) {
    info_ = {};
    if (raw.rate > 0) {
        info_.samplerate = static_cast<int>(raw.rate);
        info_.channels = 1;
        rawFd_ = path == "-" ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (rawFd_ < 0)
            error_ = std::strerror(errno);
        return rawFd_ >= 0;
    }
    file_ = path == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &info_, 0)
                        : sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr) {
        const std::string why = sf_strerror(nullptr);
        if (access(path.c_str(), F_OK) != 0 && path != "-")
            error_ = "no such file";
        else if (access(path.c_str(), R_OK) != 0 && path != "-")
            error_ = "cannot be read (permission denied)";
        else if (why.find("ormat not recognised") != std::string::npos)
            error_ = "not an audio file";
        else
            error_ = "not a readable audio file (" + why + ")";
        return false;
    }
    if (info_.channels < 1 || info_.samplerate < 1) {
        error_ = "not a readable audio file";
        return false;
    }
    // libsndfile reads a file cut short up to its end and notes it only in
    // its log, beside the header's sizes.
    char log[4096] = {};
    sf_command(file_, SFC_GET_LOG_INFO, log, sizeof log);
    cutShort_ = std::strstr(log, "should be") != nullptr;
    return true;
}

std::size_t AudioReader::Read(float* out, std::size_t count) {
    if (rawFd_ >= 0) {
        // Whole samples only: a read may end inside one.
        rawBytes_.resize(2 * count);
        std::size_t got = 0;
        while (got < 2 || got % 2 != 0) {
            const ssize_t n = read(rawFd_, rawBytes_.data() + got, rawBytes_.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error_ = std::string("cannot be read (") + std::strerror(errno) + ")";
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        for (std::size_t i = 0; i + 1 < got; i += 2) {
            const auto v = static_cast<std::int16_t>(rawBytes_[i] | rawBytes_[i + 1] << 8);
            out[i / 2] = static_cast<float>(v) / 32768.0f;
        }
        return got / 2;
    }
    if (file_ == nullptr)
        return 0;
    const auto channels = static_cast<std::size_t>(info_.channels);
    frames_.resize(count * channels);
    const sf_count_t got = sf_readf_float(file_, frames_.data(), static_cast<sf_count_t>(count));
    if (got <= 0) {
        if (sf_error(file_) != SF_ERR_NO_ERROR)
            error_ = std::string("cannot be read to its end (") + sf_strerror(file_) + ")";
        else if (cutShort_)
            error_ = "cut short: the file ends before the audio its header announces";
        return 0;
    }
    const auto frames = static_cast<std::size_t>(got);
    for (std::size_t i = 0; i < frames; ++i) {
        float sum = 0;
        for (std::size_t c = 0; c < channels; ++c)
            sum += frames_[i * channels + c];
        out[i] = sum / static_cast<float>(channels);
    }
    return frames;
}

AudioWriter::~AudioWriter() {
    if (file_ != nullptr)
        sf_close(file_);
}

bool AudioWriter::Open(const std::string& path, double rate) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    if (path == "-") {
        rawFd_ = STDOUT_FILENO;
        return true;
    }
    if (EndsWith(path, ".wav"))
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    else if (EndsWith(path, ".flac"))
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else {
        error_ = "the name must end in .wav or .flac";
        return false;
    }
    file_ = path == "-" ? sf_open_fd(STDOUT_FILENO, SFM_WRITE, &info, 0)
                        : sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_ == nullptr) {
        error_ = std::string("cannot be written (") + sf_strerror(nullptr) + ")";
        return false;
    }
    // Full scale stays full scale, with no wrap-around past it.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::Write(const std::vector<float>& samples) {
    if (rawFd_ >= 0) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(2 * samples.size());
        for (const float v : samples) {
            const auto s = static_cast<std::int16_t>(
                std::lround(std::clamp(v, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
            bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(rawFd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error_ = std::string("cannot be written (") + std::strerror(errno) + ")";
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    if (file_ == nullptr)
        return false;
    const auto count = static_cast<sf_count_t>(samples.size());
    if (sf_writef_float(file_, samples.data(), count) != count) {
        error_ = std::string("cannot be written (") + sf_strerror(file_) + ")";
        return false;
    }
    return true;
}

bool AudioWriter::Close() {
    if (file_ == nullptr)
        return error_.empty();
    const int result = sf_close(file_);
    file_ = nullptr;
    if (result != 0 && error_.empty())
        error_ = std::string("cannot be completed (") + sf_error_number(result) + ")";
    return error_.empty();
}

}  // namespace tavirel

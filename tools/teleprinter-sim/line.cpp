#include "line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tpsim {

namespace {
constexpr int kIdlePollMs = 50;
constexpr double kLateToleranceMs = 20;
}  // namespace

double nowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

Line::Line(double charTimeMs, QObject* parent) : QObject(parent), charTimeMs_(charTimeMs) {
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pumpTimer_, &QTimer::timeout, this, &Line::pump);
}

Line::~Line() {
    hangUp();
}

bool Line::open(const QString& folder, const QString& portName, QString* error) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        *error = QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master));
    // The slave is not kept open here: with nobody on it, the master reports a
    // hang-up, which is how a terminal letting go of the line is seen.
    ::close(slave);
    // Non-blocking so the sender never stalls the event loop; the line
    // settings themselves belong to whoever opens the slave.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);

    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create %1").arg(folder);
        ::close(master);
        return false;
    }
    linkPath_ = QDir(folder).absoluteFilePath(portName);
    QFileInfo existing(linkPath_);
    if (existing.exists() || existing.isSymLink()) {
        QFile::remove(linkPath_);
    }
    if (::symlink(slavePath_.toLocal8Bit().constData(), linkPath_.toLocal8Bit().constData()) != 0) {
        *error = QStringLiteral("cannot link %1 -> %2: %3")
                     .arg(linkPath_, slavePath_, QString::fromLocal8Bit(strerror(errno)));
        ::close(master);
        linkPath_.clear();
        return false;
    }
    master_ = master;
    stop_ = false;
    reader_ = std::thread([this] { readLoop(); });
    return true;
}

void Line::setAttached(bool attached) {
    const bool was = attached_.exchange(attached);
    if (was && !attached) {
        ++hangups_;
    }
}

void Line::readLoop() {
    char buf[512];
    while (!stop_.load()) {
        pollfd p{master_, POLLIN, 0};
        const int r = ::poll(&p, 1, kIdlePollMs);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (r == 0) {
            // Quiet but not hung up: someone holds the slave.
            setAttached(true);
            continue;
        }
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                const double at = nowMs();
                setAttached(true);
                emit received(QByteArray(buf, static_cast<qsizetype>(n)), at);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
        }
        // Hang-up (or EIO on read): no terminal has the slave open. This
        // stays so until one opens it, so look again a little later instead
        // of spinning.
        setAttached(false);
        for (int waited = 0; waited < kIdlePollMs && !stop_.load(); waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

void Line::send(std::vector<std::uint8_t> bytes, std::function<void(int)> done, bool paced) {
    jobs_.push_back(Job{std::move(bytes), 0, 0, std::move(done), paced});
    if (!pumpTimer_.isActive()) {
        pump();
    }
}

void Line::pump() {
    while (!jobs_.empty()) {
        Job& job = jobs_.front();
        if (job.next >= job.bytes.size()) {
            auto done = std::move(job.done);
            const int lost = job.lost;
            jobs_.pop_front();
            if (done) {
                done(lost);
            }
            continue;
        }
        if (master_ < 0) {
            job.lost += static_cast<int>(job.bytes.size() - job.next);
            job.next = job.bytes.size();
            continue;
        }
        const double now = nowMs();
        if (!job.paced) {
            // All that is left in one write; what a full pty refuses goes next.
            const std::size_t left = job.bytes.size() - job.next;
            const ssize_t n =
                attached_.load() ? ::write(master_, job.bytes.data() + job.next, left) : 0;
            if (n < 0 && errno == EAGAIN) {
                pumpTimer_.start(2);
                return;
            }
            if (n <= 0) {
                job.lost += static_cast<int>(left);  // nobody on the line
                job.next = job.bytes.size();
            } else {
                job.next += static_cast<std::size_t>(n);
            }
            lastSentMs_ = now;
            sentAny_ = true;
            continue;
        }
        if (sentAny_ && now < lastSentMs_ + charTimeMs_) {
            pumpTimer_.start(static_cast<int>(std::ceil(lastSentMs_ + charTimeMs_ - now)));
            return;
        }
        const std::uint8_t byte = job.bytes[job.next];
        // With no terminal on the slave the pty would take the byte and
        // quietly drop it; count it as lost instead.
        const ssize_t n = attached_.load() ? ::write(master_, &byte, 1) : 0;
        if (n < 0 && errno == EAGAIN) {
            // The terminal is not reading; try again shortly.
            pumpTimer_.start(2);
            return;
        }
        if (n != 1) {
            ++job.lost;  // nobody on the line (EIO)
        }
        ++job.next;
        // Count from the planned time when the timer was merely a little late,
        // so the pace does not drift; after an idle line, from now.
        const double planned = lastSentMs_ + charTimeMs_;
        lastSentMs_ = sentAny_ && now - planned < kLateToleranceMs ? planned : now;
        sentAny_ = true;
    }
}

void Line::hangUp() {
    if (master_ < 0) {
        return;
    }
    stop_ = true;
    if (reader_.joinable()) {
        reader_.join();
    }
    ::close(master_);
    master_ = -1;
    attached_ = false;
    if (!linkPath_.isEmpty()) {
        QFile::remove(linkPath_);
        linkPath_.clear();
    }
    // Whatever was still to be typed cannot go anywhere now; pump() counts it
    // as lost without waiting.
    sentAny_ = false;
    pumpTimer_.stop();
    pump();
}

}  // namespace tpsim

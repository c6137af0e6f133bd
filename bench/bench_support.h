// What the bench programs measure with: the process's CPU time and peak
// memory, and how late a timer in the window's event loop ever ran.
#pragma once

#include <sys/resource.h>

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace tavirel::bench {

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// The longest a 10 ms timer ran late while the window worked: the longest
// stall of the user-interface thread.
class Lateness {
  public:
    Lateness() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { worst_ = std::max(worst_, clock_.restart() - 10); });
        clock_.start();
        timer_.start(10);
    }
    qint64 Worst() const { return worst_; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 worst_ = 0;
};

}  // namespace tavirel::bench

// The receiving machine: bytes from the line, paced at one character time
// each, decoded and put on the paper.
#pragma once

#include "ita2.h"
#include "paper.h"

#include <QByteArray>

#include <vector>

namespace tpsim {

struct PrinterSettings {
    bool ascii = false;
    bool unshiftOnSpace = true;
    int columns = 72;
    double charTimeMs = 1000.0 * (1 + 5 + 1.5) / 45.0;
};

// Time one character occupies the line: start bit, data bits, stop bits.
double characterTimeMs(double baud, int dataBits, double stopBits);

class Printer {
  public:
    explicit Printer(const PrinterSettings& settings);

    // Bytes that arrived together at arrivalMs. The machine is busy for one
    // character time after each, so a burst is printed at the line's pace.
    void receive(const QByteArray& bytes, double arrivalMs);
    // Text fed straight to the printer in ASCII, without pacing.
    void printText(const QByteArray& text);

    const Paper& paper() const { return paper_; }
    const QByteArray& raw() const { return raw_; }
    // Print times of the characters that did something (not blank or shifts).
    const std::vector<double>& times() const { return times_; }
    int count() const { return static_cast<int>(times_.size()); }

  private:
    void act(std::uint8_t byte, double printMs, bool ascii);

    PrinterSettings settings_;
    Decoder decoder_;
    Paper paper_;
    QByteArray raw_;
    std::vector<double> times_;
    bool busy_ = false;
    double lastPrintMs_ = 0;
};

}  // namespace tpsim

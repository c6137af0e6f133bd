// The serial line: a pseudo-terminal whose slave side the terminal opens
// through a COMn link, read on a thread and written at the line's pace.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

namespace tpsim {

// Milliseconds on one steady clock shared by everything in the simulator.
double nowMs();

class Line : public QObject {
    Q_OBJECT
  public:
    explicit Line(double charTimeMs, QObject* parent = nullptr);
    ~Line() override;

    // Creates the pty and the link folder/portName -> slave. False with a
    // message on failure.
    bool open(const QString& folder, const QString& portName, QString* error);
    bool isOpen() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }

    // Whether a terminal holds the slave open, as last seen by the reader.
    bool attached() const { return attached_.load(); }
    // Times a terminal that held the line let it go.
    int hangups() const { return hangups_.load(); }

    // Queues bytes to go out one per character time, or unpaced all in one
    // write as fast as the pty takes them; done(lost) is called once the last
    // one was written, lost counting bytes nobody could receive.
    void send(std::vector<std::uint8_t> bytes, std::function<void(int lost)> done,
              bool paced = true);
    // Drops the line: closes the master (the pty goes away) and the link.
    void hangUp();

  signals:
    void received(const QByteArray& bytes, double arrivalMs);

  private:
    struct Job {
        std::vector<std::uint8_t> bytes;
        std::size_t next = 0;
        int lost = 0;
        std::function<void(int)> done;
        bool paced = true;
    };

    void readLoop();
    void setAttached(bool attached);
    void pump();

    double charTimeMs_;
    int master_ = -1;
    QString slavePath_;
    QString linkPath_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> attached_{false};
    std::atomic<int> hangups_{0};

    std::deque<Job> jobs_;
    QTimer pumpTimer_;
    bool sentAny_ = false;
    double lastSentMs_ = 0;
};

}  // namespace tpsim

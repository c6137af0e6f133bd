#include "session.h"

#include <QFile>
#include <QStringList>

namespace tpsim {

namespace {

QString unescape(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == QLatin1Char('r') || next == QLatin1Char('n') || next == QLatin1Char('a')) {
                out += next == QLatin1Char('r')   ? QLatin1Char('\r')
                       : next == QLatin1Char('n') ? QLatin1Char('\n')
                                                  : QLatin1Char('\a');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString lostReply(int lost) {
    if (lost == 0) {
        return QStringLiteral("ok");
    }
    return QStringLiteral("error %1 bytes lost: no terminal on the line").arg(lost);
}

}  // namespace

Session::Session(const PrinterSettings& settings, QObject* parent)
    : QObject(parent),
      settings_(settings),
      printer_(settings),
      encoder_(settings.unshiftOnSpace),
      line_(settings.charTimeMs) {
    connect(&line_, &Line::received, this,
            [this](const QByteArray& bytes, double at) { printer_.receive(bytes, at); });
}

bool Session::openLine(const QString& folder, const QString& port, QString* error) {
    return line_.open(folder, port, error);
}

QString Session::type(const QString& text, std::function<void(int)> done) {
    return send(unescape(text).toStdString(), true, std::move(done));
}

QString Session::burst(const QString& path, std::function<void(int)> done) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("error cannot read %1").arg(path);
    }
    return send(file.readAll().toStdString(), false, std::move(done));
}

QString Session::send(const std::string& bytes, bool paced, std::function<void(int)> done) {
    if (!line_.isOpen()) {
        return QStringLiteral("error the line was hung up");
    }
    std::vector<std::uint8_t> out;
    if (settings_.ascii) {
        out.assign(bytes.begin(), bytes.end());
    } else {
        const auto encoded = encoder_.encode(bytes);
        if (!encoded) {
            const char bad = *Encoder::firstUnencodable(bytes);
            return QStringLiteral("error no code for byte 0x%1")
                .arg(static_cast<unsigned char>(bad), 2, 16, QLatin1Char('0'));
        }
        out = *encoded;
    }
    line_.send(std::move(out), std::move(done), paced);
    return {};
}

void Session::sendControl(std::uint8_t byte, std::function<void(int)> done) {
    line_.send({byte}, std::move(done));
}

void Session::hangUp() {
    line_.hangUp();
    encoder_.reset();
}

void Session::command(const QString& line) {
    pending_.push_back(line);
    if (!running_) {
        runNext();
    }
}

void Session::finishWhenIdle() {
    finishing_ = true;
    if (!running_ && pending_.empty()) {
        emit finished();
    }
}

void Session::runNext() {
    while (!running_ && !pending_.empty()) {
        const QString line = pending_.front();
        pending_.pop_front();
        running_ = true;
        execute(line);
    }
    if (!running_ && pending_.empty() && finishing_) {
        emit finished();
    }
}

void Session::done(const QString& reply) {
    emit answer(reply);
    running_ = false;
}

void Session::execute(const QString& line) {
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString word = space < 0 ? line : line.left(space);
    const QString rest = space < 0 ? QString() : line.mid(space + 1);

    auto later = [this](int lost) {
        done(lostReply(lost));
        runNext();
    };

    if (word == QLatin1String("type") || word == QLatin1String("burst")) {
        const QString error =
            word == QLatin1String("type") ? type(rest, later) : burst(rest, later);
        if (!error.isEmpty()) {
            done(error);
        }
    } else if (word == QLatin1String("xoff") || word == QLatin1String("xon")) {
        if (!line_.isOpen()) {
            done(QStringLiteral("error the line was hung up"));
        } else {
            sendControl(word == QLatin1String("xoff") ? 19 : 17, later);
        }
    } else if (word == QLatin1String("hangup")) {
        hangUp();
        done(QStringLiteral("ok"));
    } else if (word == QLatin1String("paper")) {
        const QString text = printer_.paper().text(QLatin1Char('|'));
        done(text.isEmpty() ? QStringLiteral("paper") : QStringLiteral("paper ") + text);
    } else if (word == QLatin1String("raw")) {
        QString reply = QStringLiteral("raw");
        for (char b : printer_.raw()) {
            reply +=
                QStringLiteral(" %1").arg(static_cast<unsigned char>(b), 2, 16, QLatin1Char('0'));
        }
        done(reply);
    } else if (word == QLatin1String("count")) {
        done(QStringLiteral("count %1").arg(printer_.count()));
    } else if (word == QLatin1String("bells")) {
        done(QStringLiteral("bells %1").arg(printer_.paper().bells()));
    } else if (word == QLatin1String("times")) {
        QString reply = QStringLiteral("times");
        const auto& times = printer_.times();
        for (double t : times) {
            reply += QLatin1Char(' ') + QString::number(t - times.front(), 'f', 1);
        }
        done(reply);
    } else if (word == QLatin1String("attached")) {
        done(line_.attached() ? QStringLiteral("attached yes") : QStringLiteral("attached no"));
    } else if (word == QLatin1String("hangups")) {
        done(QStringLiteral("hangups %1").arg(line_.hangups()));
    } else if (word == QLatin1String("png")) {
        if (rest.isEmpty()) {
            done(QStringLiteral("error png needs a file name"));
        } else if (!printer_.paper().savePng(rest)) {
            done(QStringLiteral("error cannot write %1").arg(rest));
        } else {
            done(QStringLiteral("ok"));
        }
    } else if (word == QLatin1String("quit")) {
        done(QStringLiteral("ok"));
        pending_.clear();
        finishing_ = true;
    } else if (word.isEmpty()) {
        done(QStringLiteral("error empty command"));
    } else {
        done(QStringLiteral("error unknown command %1").arg(word));
    }
}

}  // namespace tpsim

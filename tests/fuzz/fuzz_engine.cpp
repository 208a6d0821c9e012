// Arbitrary reply bytes with arbitrary timing, against the real engine on a
// pseudo-terminal: no crash, no overrun, the reply store keeps its last position,
// and every wait ends within its time-out.
#include "serialline.h"
#include "transactionengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Rig
{
    int master = -1;
    std::unique_ptr<kestrava::SerialLine> line;
    std::unique_ptr<kestrava::TransactionEngine> engine;
};

Rig &rig()
{
    static int argc = 1;
    static char name[] = "fuzz_engine";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Rig r = [] {
        Rig made;
        made.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (made.master < 0 || ::grantpt(made.master) != 0 || ::unlockpt(made.master) != 0)
            std::abort();
        termios raw{};
        ::tcgetattr(made.master, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(made.master, TCSANOW, &raw);
        kestrava::mapComPort(1, QString::fromLocal8Bit(::ptsname(made.master)));
        made.line = std::make_unique<kestrava::SerialLine>();
        made.line->setCommPort(1);
        if (!made.line->open())
            std::abort();
        made.engine = std::make_unique<kestrava::TransactionEngine>(*made.line);
        made.engine->setTickInterval(std::chrono::milliseconds(1));
        return made;
    }();
    return r;
}

void writeMaster(int master, const uint8_t *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(master, data, size);
        if (n <= 0)
            return; // the line is full: the rest is dropped, as a real line would overrun
        data += n;
        size -= size_t(n);
    }
}

void drainMaster(int master)
{
    char sink[4096];
    while (::read(master, sink, sizeof sink) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Rig &r = rig();
    QObject inputScope; // owns the delayed writes of this input only
    size_t i = 0;
    const auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
    while (i < size) {
        const uint8_t op = next() % 4;
        if (op == 0) { // bytes now
            const size_t n = std::min<size_t>(next() % 64 + 1, size - i);
            writeMaster(r.master, data + i, n);
            i += n;
        } else if (op == 1) { // bytes later
            const int delayMs = next() % 16;
            const size_t n = std::min<size_t>(next() % 64 + 1, size - i);
            const QByteArray bytes(reinterpret_cast<const char *>(data + i), qsizetype(n));
            i += n;
            QTimer::singleShot(delayMs, &inputScope, [master = r.master, bytes] {
                writeMaster(master, reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            });
        } else if (op == 2) { // a transaction
            const uint8_t n = next();
            QElapsedTimer clock;
            clock.start();
            r.engine->transact(QByteArray::fromHex("55d10001"), n);
            if (r.engine->ReplyBuffer()[999] != 0 || r.engine->TickCount() > 11.0f || clock.elapsed() > 2000)
                std::abort();
        } else {
            r.engine->line().discardInput();
        }
    }
    r.engine->line().discardInput();
    drainMaster(r.master);
    return 0;
}

#include "cli/server.h"

#include "link/instep.h"
#include "link/transactionengine.h"

#include <QEventLoop>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace kestrava::cli {

Server::Server(InStepLink &link, Motors &motors, Pause pause)
    : m_link(link)
    , m_safety(motors, link)
    , m_dispatcher(link, motors, m_safety, std::move(pause))
{
    connect(&m_safety, &MotorSafety::stoppedByItself, this, &Server::endIfLost);
    connect(&m_link.engine(), &TransactionEngine::lineLost, this, &Server::deviceLost);
}

Server::~Server() = default;

int Server::run()
{
    QEventLoop loop;
    m_loop = &loop;
    m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_input.get(), &QSocketNotifier::activated, this, &Server::readInput);
    return loop.exec();
}

void Server::requestEnd()
{
    m_endRequested = true;
    if (!m_busy)
        end(0);
}

void Server::readInput()
{
    // Requests are carried out one at a time: no line is read while one runs.
    m_input->setEnabled(false);
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
        m_input->setEnabled(true);
        return;
    }
    std::vector<LineReader::Line> lines = got > 0 ? m_reader.feed(QByteArrayView(buffer, got)) : m_reader.finish();
    for (const LineReader::Line &line : lines) {
        if (m_endRequested)
            break;
        serveLine(line); // once the device is lost, each is answered that it was
    }
    if (m_dispatcher.lost())
        end(rpc::DeviceLost);
    else if (got <= 0 || m_endRequested)
        end(0); // standard input closed: the program that drove the robot is gone
    else
        m_input->setEnabled(true);
}

void Server::serveLine(const LineReader::Line &line)
{
    m_safety.requestBegins();
    m_busy = true;
    const std::optional<QByteArray> reply = replyTo(line, [this](const rpc::Call &call) { return m_dispatcher.answer(call); });
    // A reader gone away ends the server, which then stops the motors.
    if (reply && !writeReply(*reply))
        m_endRequested = true;
    m_busy = false;
    m_safety.requestEnded();
}

// A stop of the safety's own while the device was lost ends the server.
void Server::endIfLost()
{
    if (m_dispatcher.lost())
        end(rpc::DeviceLost);
}

void Server::deviceLost()
{
    m_dispatcher.deviceLost();
    if (!m_busy)
        end(rpc::DeviceLost);
}

// Lines that have already arrived when the device is lost are answered that it was,
// so that no request goes unanswered; the wait for them is bounded.
void Server::answerWaitingLines()
{
    for (qsizetype drained = 0; drained < 4 * rpc::MaxLineBytes && !m_endRequested;) {
        char buffer[4096];
        const ssize_t got = readWaiting(buffer, sizeof buffer);
        if (got <= 0)
            break;
        drained += got;
        for (const LineReader::Line &line : m_reader.feed(QByteArrayView(buffer, got)))
            serveLine(line);
    }
}

void Server::end(int status)
{
    if (!m_loop)
        return;
    m_safety.disarm();
    if (m_input)
        m_input->setEnabled(false);
    if (m_dispatcher.lost()) {
        answerWaitingLines();
        logLine(QStringLiteral("the device was lost"));
    } else {
        m_safety.stopIfMoving();
    }
    m_link.finish();
    m_loop->exit(m_dispatcher.lost() ? int(rpc::DeviceLost) : status);
    m_loop = nullptr;
}

} // namespace kestrava::cli

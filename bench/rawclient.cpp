#include "bench/rawclient.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kestrava::bench {

namespace {

constexpr int AnswerTimeoutMs = 1000;

bool makeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B19200);
    settings.c_cflag |= CSTOPB | CLOCAL | CREAD;
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

RawClient::RawClient(const std::string &device)
{
    m_fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0 && !makeRaw(m_fd)) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

double RawClient::run(const std::vector<RawExchange> &exchanges)
{
    if (m_fd < 0)
        return -1;
    ::tcflush(m_fd, TCIFLUSH);
    const auto start = std::chrono::steady_clock::now();
    for (const RawExchange &step : exchanges) {
        if (!exchange(step))
            return -1;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool RawClient::exchange(const RawExchange &step)
{
    return writeAll(step.frame) && readAnswer(step.answerBytes);
}

bool RawClient::writeAll(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd writable{m_fd, POLLOUT, 0};
            if (::poll(&writable, 1, AnswerTimeoutMs) <= 0)
                return false;
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool RawClient::readAnswer(size_t count)
{
    char buffer[256];
    size_t got = 0;
    while (got < count) {
        pollfd readable{m_fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, AnswerTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (readable.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            got += size_t(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
    }
    return true;
}

} // namespace kestrava::bench

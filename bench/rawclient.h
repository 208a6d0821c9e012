#pragma once

#include <string>
#include <vector>

namespace kestrava::bench {

// One frame and the number of answer bytes it brings back.
struct RawExchange
{
    std::string frame;
    size_t answerBytes;
};

// The floor for any client of the adapter: no Qt, no event loop, no engine. Each frame
// goes out the moment the previous answer is complete, with poll() and read() between.
class RawClient
{
public:
    explicit RawClient(const std::string &device); // raw, 19200 baud 8N2
    ~RawClient();
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Milliseconds from the first frame out to the last answer in; negative when an
    // answer is not complete within a second or the device fails.
    double run(const std::vector<RawExchange> &exchanges);

private:
    bool exchange(const RawExchange &step);
    bool writeAll(const std::string &bytes);
    bool readAnswer(size_t count);

    int m_fd = -1;
};

} // namespace kestrava::bench

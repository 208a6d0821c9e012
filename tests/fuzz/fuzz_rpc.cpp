// Any bytes on the server's standard input cut into bounded lines, and every line
// parses into calls that are each a checked request or an error, never a crash.
#include "cli/rpc.h"
#include "cli/framing.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrava::cli;
    LineReader reader;
    std::vector<LineReader::Line> lines = reader.feed(QByteArrayView(data, qsizetype(size)));
    for (LineReader::Line &line : reader.finish())
        lines.push_back(std::move(line));
    for (const LineReader::Line &line : lines) {
        if (line.text.size() > rpc::MaxLineBytes)
            std::abort();
        for (const rpc::Call &call : rpc::parseLine(line.text).calls) {
            if (const Request *request = std::get_if<Request>(&call.request)) {
                const bool addressed = request->command == Command::Read || request->command == Command::Write;
                if (addressed && (request->addresses.size() != 1 || request->addresses.front() % 2 != 0))
                    std::abort();
            }
        }
    }
    return 0;
}

#pragma once
// What every HTTP client of the program does, whichever library carries it: the helpers of the
// cases in http_client_cases.inc, which the Linux build's and the Windows build's client tests
// both run against their own client and the real test HTTPS server.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/http_client.h"

namespace volnor::test {

std::string sampleBody() {
    std::string body;
    for (int i = 0; i < 70000; ++i) body += static_cast<char>(i * 7 % 256);
    return body;
}

// A sink that keeps everything, as a file on a roomy disk does.
class BufferSink : public ByteSink {
public:
    bool write(std::string_view bytes) override {
        data.append(bytes);
        return true;
    }
    std::string errorText() const override { return {}; }
    std::string data;
};

// A sink that takes `room` bytes and then refuses to write, as a full disk does.
class FullSink : public ByteSink {
public:
    explicit FullSink(std::size_t room) : room_(room) {}
    bool write(std::string_view bytes) override {
        if (written + bytes.size() > room_) return false;
        written += bytes.size();
        return true;
    }
    std::string errorText() const override { return "Нет места на диске"; }
    std::size_t written = 0;

private:
    std::size_t room_;
};

// The counts of the progress reports added up.
std::int64_t sum(const std::vector<std::int64_t>& counts) {
    std::int64_t total = 0;
    for (const std::int64_t n : counts) total += n;
    return total;
}

}  // namespace volnor::test

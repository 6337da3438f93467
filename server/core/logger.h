#pragma once

#include <functional>
#include <string>

namespace qira::server {

// Log lines: who joined, hands started and ended, every refusal with its
// reason. They go to standard error with the time of day, or to a sink that
// a test or a fuzzer installs.
class Logger {
public:
    using Sink = std::function<void(const std::string& line)>;

    explicit Logger(bool enabled, Sink sink = {}) : enabled_(enabled), sink_(std::move(sink)) {}
    void Line(const std::string& text) const;
    // A fault the operator must hear of ("error: " and the text), written
    // even when the lines are turned off.
    void Error(const std::string& text) const;
    bool enabled() const { return enabled_; }

private:
    void Write(const std::string& text) const;
    bool enabled_;
    Sink sink_;
};

}  // namespace qira::server

#include "server/core/logger.h"

#include <chrono>
#include <ctime>
#include <iostream>

namespace qira::server {

void Logger::Line(const std::string& text) const {
    if (enabled_) Write(text);
}

void Logger::Error(const std::string& text) const {
    Write("error: " + text);
}

void Logger::Write(const std::string& text) const {
    if (sink_) return sink_(text);
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::cerr << stamp << " " << text << '\n';
}

}  // namespace qira::server

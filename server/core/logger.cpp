#include "server/core/logger.h"

#include <chrono>
#include <ctime>
#include <iostream>

namespace qira::server {

void Logger::Line(const std::string& text) const {
    if (!enabled_) return;
    if (sink_) return sink_(text);
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::cerr << stamp << " " << text << '\n';
}

}  // namespace qira::server

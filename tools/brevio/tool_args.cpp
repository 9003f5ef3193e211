#include "tool_args.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace brevio::tool {

bool ParseInt(const std::string& text, long long min, long long max, long long& value) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    long long v = std::stoll(text);
    if (v < min || v > max) return false;
    value = v;
    return true;
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    auto x = text.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!ParseInt(text.substr(0, x), 1, 1 << 20, w) || !ParseInt(text.substr(x + 1), 1, 1 << 20, h))
        return false;
    width = int(w);
    height = int(h);
    return true;
}

CLI::Validator NumberIn(double min, double max) {
    return CLI::Validator(
        [min, max](std::string& text) -> std::string {
            double value = 0;
            if (ParseNumber(text, value) && value >= min && value <= max) return {};
            char range[80];
            std::snprintf(range, sizeof range, "needs a number from %g to %g", min, max);
            return range;
        },
        "NUMBER");
}

std::optional<std::vector<unsigned>> ParseUnitList(const std::string& text, std::string& error) {
    constexpr long long kMax = 0xffffffffLL;
    std::vector<unsigned> numbers;
    if (text.empty()) {
        error = "empty unit list";
        return std::nullopt;
    }
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(pos, comma - pos);
        auto dash = item.find('-');
        long long first = 0, last = 0;
        bool ok = dash == std::string::npos ? ParseInt(item, 1, kMax, first) && (last = first, true)
                                            : ParseInt(item.substr(0, dash), 1, kMax, first) &&
                                                  ParseInt(item.substr(dash + 1), 1, kMax, last);
        if (!ok) {
            error = "'" + item + "' is not a unit number or range (units count from 1)";
            return std::nullopt;
        }
        if (last < first) {
            error = "range '" + item + "' runs backwards";
            return std::nullopt;
        }
        if (last - first >= 1000000) {
            error = "range '" + item + "' is too long";
            return std::nullopt;
        }
        for (long long n = first; n <= last; ++n) numbers.push_back(unsigned(n));
        pos = comma + 1;
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace brevio::tool

#include "stored/utc_time.h"

#include "platform/machine.h"

namespace plantscan::stored {

std::string utcTime(std::time_t time) {
    std::tm utc{};
    char text[32] = "";
    if (!platform::utcFields(time, utc)) return "";
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<std::int64_t> parseUtcTime(const std::string& text) {
    const std::string shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return std::nullopt;
    }
    const auto field = [&text](std::size_t at, std::size_t digits) {
        return std::stoi(text.substr(at, digits));
    };
    const int year = field(0, 4), month = field(5, 2), day = field(8, 2);
    const int hour = field(11, 2), minute = field(14, 2), second = field(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    // Days from the civil date (proleptic Gregorian calendar), after H. Hinnant.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace plantscan::stored

#include "DateTime.h"

namespace tds {

namespace {

class Reader {
public:
    explicit Reader(const std::u16string& s) : s_(s) {}
    bool atEnd() const { return i_ >= s_.size(); }
    char16_t peek() const { return i_ < s_.size() ? s_[i_] : u'\0'; }
    bool accept(char16_t c) {
        if (peek() == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void skipSpaces() {
        while (peek() == u' ' || peek() == u'\t') {
            ++i_;
        }
    }
    // Reads up to maxDigits digits; returns the count read.
    int digits(int maxDigits, std::int64_t& value) {
        value = 0;
        int n = 0;
        while (n < maxDigits && peek() >= u'0' && peek() <= u'9') {
            value = value * 10 + (peek() - u'0');
            ++i_;
            ++n;
        }
        return n;
    }

private:
    const std::u16string& s_;
    std::size_t i_ = 0;
};

bool validDay(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// yyyy-mm-dd
bool readDate(Reader& r, DateTimeParts& p) {
    std::int64_t y = 0;
    std::int64_t m = 0;
    std::int64_t d = 0;
    if (r.digits(4, y) != 4 || !r.accept(u'-') || r.digits(2, m) == 0 || !r.accept(u'-') ||
        r.digits(2, d) == 0) {
        return false;
    }
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    p.hasDate = true;
    p.year = static_cast<int>(y);
    p.month = static_cast<int>(m);
    p.day = static_cast<int>(d);
    p.dayValid = validDay(p.year, p.month, p.day);
    return true;
}

// hh:mm[:ss[.fffffff]]; more than seven fractional digits are counted, not kept.
bool readTime(Reader& r, DateTimeParts& p) {
    std::int64_t h = 0;
    std::int64_t m = 0;
    std::int64_t s = 0;
    if (r.digits(2, h) == 0 || !r.accept(u':') || r.digits(2, m) == 0) {
        return false;
    }
    if (r.accept(u':')) {
        if (r.digits(2, s) == 0) {
            return false;
        }
        if (r.accept(u'.')) {
            std::int64_t digit = 0;
            std::int64_t unit = 1000000;
            while (r.digits(1, digit) == 1) {
                p.fraction += digit * unit;
                unit /= 10;
                ++p.fractionDigits;
            }
        }
    }
    if (h > 23 || m > 59 || s > 59) {
        return false;
    }
    p.hasTime = true;
    p.hour = static_cast<int>(h);
    p.minute = static_cast<int>(m);
    p.second = static_cast<int>(s);
    return true;
}

// [+-]hh:mm, up to 14 hours either way.
bool readOffset(Reader& r, DateTimeParts& p) {
    const char16_t sign = r.peek();
    if (!r.accept(u'+') && !r.accept(u'-')) {
        return false;
    }
    std::int64_t h = 0;
    std::int64_t m = 0;
    if (r.digits(2, h) != 2 || !r.accept(u':') || r.digits(2, m) != 2) {
        return false;
    }
    if (h > 14 || m > 59 || (h == 14 && m != 0)) {
        return false;
    }
    p.hasOffset = true;
    p.offsetMinutes = (sign == u'-' ? -1 : 1) * static_cast<int>(h * 60 + m);
    return true;
}

bool startsWithTime(const std::u16string& s, std::size_t from) {
    std::size_t i = from;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        ++i;
    }
    return i > from && i < s.size() && s[i] == u':';
}

} // namespace

std::int32_t DateTime::daysFromCivil(int year, int month, int day) {
    // Days since 0001-01-01 in the proleptic Gregorian calendar.
    int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int32_t unixDays = era * 146097 + doe - 719468;
    return unixDays + 719162; // 1970-01-01 is day 719162 since 0001-01-01
}

void DateTime::civilFromDays(std::int32_t days, int& year, int& month, int& day) {
    std::int32_t z = days - 719162 + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

std::optional<DateTimeParts> DateTime::parse(const std::u16string& text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t')) {
        ++start;
    }
    Reader r(text);
    r.skipSpaces();
    DateTimeParts p;
    if (startsWithTime(text, start)) {
        if (!readTime(r, p)) {
            return std::nullopt;
        }
    } else if (!readDate(r, p)) {
        return std::nullopt;
    } else {
        r.skipSpaces();
        const char16_t next = r.peek();
        if (next >= u'0' && next <= u'9' && !readTime(r, p)) {
            return std::nullopt;
        }
    }
    r.skipSpaces();
    if ((r.peek() == u'+' || r.peek() == u'-') && !readOffset(r, p)) {
        return std::nullopt;
    }
    r.skipSpaces();
    if (!r.atEnd()) {
        return std::nullopt;
    }
    return p;
}

} // namespace tds

#include "DateTime.h"

namespace tds {

namespace {

class Reader {
public:
    explicit Reader(const std::u16string& s) : s_(s) {}
    bool atEnd() const { return i_ >= s_.size(); }
    char16_t peek(std::size_t ahead = 0) const {
        return i_ + ahead < s_.size() ? s_[i_ + ahead] : u'\0';
    }
    void skip() { ++i_; }
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
    int countDigitsAhead() const {
        std::size_t j = i_;
        while (j < s_.size() && s_[j] >= u'0' && s_[j] <= u'9') {
            ++j;
        }
        return static_cast<int>(j - i_);
    }
    std::size_t pos() const { return i_; }

private:
    const std::u16string& s_;
    std::size_t i_ = 0;
};

bool isLetter(char16_t c, char16_t upper) {
    return c == upper || c == upper + 32;
}

// A month name or its first three letters ("Jan", "january"); 0 when there is none.
int readMonthName(Reader& r) {
    static constexpr const char* kMonths[] = {"january",   "february", "march",    "april",
                                              "may",       "june",     "july",     "august",
                                              "september", "october",  "november", "december"};
    std::string word;
    while ((r.peek() | 0x20) >= u'a' && (r.peek() | 0x20) <= u'z') {
        word.push_back(static_cast<char>(r.peek() | 0x20));
        r.skip();
    }
    if (word.size() < 3) {
        return 0;
    }
    for (int i = 0; i < 12; ++i) {
        const std::string full = kMonths[i];
        if (word == full || word == full.substr(0, 3)) {
            return i + 1;
        }
    }
    return 0;
}

bool readTime(Reader& r, DateTimeParts& p) {
    std::int64_t v = 0;
    int n = r.digits(2, v);
    if (n == 0 || r.peek() != u':') {
        return false;
    }
    p.hour = static_cast<int>(v);
    r.skip();
    if (r.digits(2, v) == 0) {
        return false;
    }
    p.minute = static_cast<int>(v);
    if (r.accept(u':')) {
        if (r.digits(2, v) == 0) {
            return false;
        }
        p.second = static_cast<int>(v);
        if (r.peek() == u'.' || r.peek() == u':') {
            bool colonMillis = r.peek() == u':';
            r.skip();
            int count = r.countDigitsAhead();
            if (count == 0) {
                if (colonMillis) {
                    return false;
                }
            }
            std::int64_t frac = 0;
            int read = r.digits(count, frac);
            p.fractionDigits = read;
            if (colonMillis) {
                // hh:mm:ss:mmm means milliseconds.
                if (read > 3) {
                    return false;
                }
                p.fraction = frac * 10000;
                p.fractionDigits = 3;
            } else {
                // Keep 7 digits; digits beyond are checked by the caller through the count.
                std::int64_t scaled = frac;
                int d = read;
                while (d > 7) {
                    scaled /= 10;
                    --d;
                }
                while (d < 7) {
                    scaled *= 10;
                    ++d;
                }
                p.fraction = scaled;
            }
        }
    }
    r.skipSpaces();
    if (isLetter(r.peek(), u'A') || isLetter(r.peek(), u'P')) {
        bool pm = isLetter(r.peek(), u'P');
        if (!isLetter(r.peek(1), u'M')) {
            return false;
        }
        r.skip();
        r.skip();
        if (p.hour < 1 || p.hour > 12) {
            if (!(p.hour == 0 && !pm)) {
                return false;
            }
        }
        if (pm && p.hour != 12) {
            p.hour += 12;
        } else if (!pm && p.hour == 12) {
            p.hour = 0;
        }
    }
    if (p.hour > 23 || p.minute > 59 || p.second > 59) {
        return false;
    }
    p.hasTime = true;
    return true;
}

bool readOffset(Reader& r, DateTimeParts& p) {
    r.skipSpaces();
    if (isLetter(r.peek(), u'Z')) {
        r.skip();
        p.hasOffset = true;
        p.offsetMinutes = 0;
        return true;
    }
    if (r.peek() != u'+' && r.peek() != u'-') {
        return true;
    }
    int sign = r.peek() == u'-' ? -1 : 1;
    r.skip();
    std::int64_t h = 0;
    std::int64_t m = 0;
    if (r.digits(2, h) != 2 || !r.accept(u':') || r.digits(2, m) != 2) {
        return false;
    }
    if (h > 14 || m > 59 || (h == 14 && m != 0)) {
        return false;
    }
    p.hasOffset = true;
    p.offsetMinutes = sign * static_cast<int>(h * 60 + m);
    return true;
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

bool DateTime::validDay(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) {
        return false;
    }
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

std::optional<DateTimeParts> DateTime::parse(const std::u16string& text) {
    Reader r(text);
    DateTimeParts p;
    r.skipSpaces();
    const int lead = r.countDigitsAhead();
    const char16_t first = static_cast<char16_t>(r.peek() | 0x20);
    if (lead == 0 && first >= u'a' && first <= u'z') {
        // Jan 31 2024, January 31, 2024 (the form SQL Server itself writes by default)
        int month = readMonthName(r);
        std::int64_t d = 0;
        std::int64_t y = 0;
        r.skipSpaces();
        if (month == 0 || r.digits(2, d) == 0) {
            return std::nullopt;
        }
        r.accept(u',');
        r.skipSpaces();
        if (r.digits(4, y) != 4) {
            return std::nullopt;
        }
        p.hasDate = true;
        p.year = static_cast<int>(y);
        p.month = month;
        p.day = static_cast<int>(d);
    } else if ((lead == 1 || lead == 2) && r.peek(static_cast<std::size_t>(lead)) == u' ') {
        // 31 Jan 2024
        std::int64_t d = 0;
        std::int64_t y = 0;
        r.digits(2, d);
        r.skipSpaces();
        int month = readMonthName(r);
        r.skipSpaces();
        if (month == 0 || r.digits(4, y) != 4) {
            return std::nullopt;
        }
        p.hasDate = true;
        p.year = static_cast<int>(y);
        p.month = month;
        p.day = static_cast<int>(d);
    } else if (lead == 4 || lead == 8) {
        std::int64_t y = 0;
        std::int64_t m = 0;
        std::int64_t d = 0;
        if (lead == 8) {
            r.digits(4, y);
            r.digits(2, m);
            r.digits(2, d);
        } else {
            r.digits(4, y);
            char16_t sep = r.peek();
            if (sep != u'-' && sep != u'/' && sep != u'.') {
                return std::nullopt;
            }
            r.skip();
            if (r.digits(2, m) == 0 || !r.accept(sep) || r.digits(2, d) == 0) {
                return std::nullopt;
            }
        }
        p.hasDate = true;
        p.year = static_cast<int>(y);
        p.month = static_cast<int>(m);
        p.day = static_cast<int>(d);
    } else if ((lead == 1 || lead == 2) && (r.peek(static_cast<std::size_t>(lead)) == u'/' ||
                                            r.peek(static_cast<std::size_t>(lead)) == u'-' ||
                                            r.peek(static_cast<std::size_t>(lead)) == u'.')) {
        // Month first, as us_english reads it: 1/31/2024.
        std::int64_t m = 0;
        std::int64_t d = 0;
        std::int64_t y = 0;
        r.digits(2, m);
        char16_t sep = r.peek();
        r.skip();
        if (r.digits(2, d) == 0 || !r.accept(sep)) {
            return std::nullopt;
        }
        int yd = r.digits(4, y);
        if (yd == 2) {
            y += y < 50 ? 2000 : 1900;
        } else if (yd != 4) {
            return std::nullopt;
        }
        p.hasDate = true;
        p.year = static_cast<int>(y);
        p.month = static_cast<int>(m);
        p.day = static_cast<int>(d);
    }
    if (p.hasDate) {
        if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 || p.year < 1) {
            return std::nullopt;
        }
        p.dayValid = validDay(p.year, p.month, p.day);
        if (r.peek() == u'T' || r.peek() == u't') {
            r.skip();
            if (!readTime(r, p)) {
                return std::nullopt;
            }
        } else {
            std::size_t before = r.pos();
            r.skipSpaces();
            if (r.pos() != before && !r.atEnd() && r.peek() != u'+' && r.peek() != u'-' &&
                !isLetter(r.peek(), u'Z')) {
                if (!readTime(r, p)) {
                    return std::nullopt;
                }
            }
        }
    } else {
        if (!readTime(r, p)) {
            return std::nullopt;
        }
    }
    if (!readOffset(r, p)) {
        return std::nullopt;
    }
    r.skipSpaces();
    if (!r.atEnd()) {
        return std::nullopt;
    }
    return p;
}

} // namespace tds

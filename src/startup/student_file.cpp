#include "startup/student_file.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <system_error>

namespace kalibrix {

namespace fs = std::filesystem;

namespace {

StudentLoad failure(const std::string& what)
{
    return StudentLoad{std::nullopt, std::string("student.dat: ") + what};
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool startsLikeNumber(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

struct Item {
    std::string_view text;
    bool numeric;  // started like a number and was not quoted
};

// Free-format items of the lines after the header line, read one line at a time.
// A numeric item ends at a blank, a comma or the line end; a text item only at a comma or the
// line end. An item enclosed in double quotation marks is text.
class ItemReader {
public:
    explicit ItemReader(std::string_view text) : text_(text)
    {
        while (pos_ < text_.size() && !isLineEnd(text_[pos_]))  // the header line, whole
            ++pos_;
    }

    int line() const { return line_; }

    // True when the current line holds no further item.
    bool atLineEnd()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        return pos_ == text_.size() || isLineEnd(text_[pos_]);
    }

    // From the end of a line to the first item of the next line that holds one;
    // false at the end of the text.
    bool nextLine()
    {
        while (atLineEnd()) {
            if (pos_ == text_.size())
                return false;
            if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
                ++pos_;
            ++pos_;
            ++line_;
        }
        return true;
    }

    // The next item of the current line (which must hold one) and its separator.
    Item next()
    {
        Item item{{}, false};
        if (text_[pos_] == '"') {
            const std::size_t start = ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"' && !isLineEnd(text_[pos_]))
                ++pos_;
            item.text = text_.substr(start, pos_ - start);
            if (pos_ < text_.size() && text_[pos_] == '"')
                ++pos_;
        } else {
            item.numeric = startsLikeNumber(text_[pos_]);
            const std::size_t start = pos_;
            while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_]) &&
                   !(item.numeric && isBlank(text_[pos_])))
                ++pos_;
            item.text = text_.substr(start, pos_ - start);
            while (!item.text.empty() && isBlank(item.text.back()))
                item.text.remove_suffix(1);
        }

        // Separator: blanks and at most one comma.
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == ',')
            ++pos_;
        return item;
    }

    Item peek() const { return ItemReader(*this).next(); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

enum class NumberStatus { Ok, NotANumber, NotFinite };

// "." is the decimal separator whatever the locale; a leading '+' is allowed.
NumberStatus parseNumber(std::string_view s, double& value)
{
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '+' || s.front() == '-'))
            return NumberStatus::NotANumber;
    }
    const char* const end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (ptr != end || s.empty())
        return NumberStatus::NotANumber;
    if (ec == std::errc::invalid_argument)
        return NumberStatus::NotANumber;
    if (ec != std::errc{} || !std::isfinite(value))
        return NumberStatus::NotFinite;
    return NumberStatus::Ok;
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string pathText(const fs::path& p)
{
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

}  // namespace

StudentLoad parseStudentText(std::string_view text)
{
    if (text.empty())
        return failure("the file is empty");

    ItemReader reader(text);
    StudentTable table;
    std::array<std::string_view, kStudentColumns + 1> printed{}, printedAbove{};
    for (int r = 1; r <= kStudentRows; ++r) {
        if (!reader.nextLine())
            return failure("only " + std::to_string(r - 1) + " of " + std::to_string(kStudentRows) +
                           " records");
        const int recordLine = reader.line();
        const auto at = [r](int line) {
            return "line " + std::to_string(line) + ": record " + std::to_string(r);
        };
        const auto countError = [&](int count) {
            return failure(at(recordLine) + " has " + std::to_string(count) +
                           (count == 1 ? " value, " : " values, ") +
                           std::to_string(kStudentColumns) + " expected");
        };
        reader.next();  // the row label

        for (int c = 1; c <= kStudentColumns; ++c) {
            if (reader.atLineEnd()) {
                // An incomplete record goes on unless the next line begins the next record:
                // with a text label or with the label r + 1.
                if (!reader.nextLine())
                    return countError(c - 1);
                const Item first = reader.peek();
                double label = 0;
                if (!first.numeric ||
                    (parseNumber(first.text, label) == NumberStatus::Ok && label == r + 1))
                    return countError(c - 1);
            }
            const int line = reader.line();
            const Item item = reader.next();
            const auto valueError = [&](const std::string& what) {
                return failure(at(line) + ", value " + std::to_string(c) + what);
            };
            double& t = table.value[c][r];
            const NumberStatus status = parseNumber(item.text, t);
            if (status != NumberStatus::Ok)
                return valueError((status == NumberStatus::NotFinite ? " is not a finite number ("
                                                                     : " is not a number (") +
                                  quoted(item.text) + ")");
            if (t <= 0)
                return valueError(" is not positive (" + quoted(item.text) + ")");
            if (c > 1 && t <= table.value[c - 1][r])
                return valueError(" (" + quoted(item.text) + ") is not larger than value " +
                                  std::to_string(c - 1) + " (" + quoted(printed[c - 1]) + ")");
            if (r > 1 && t > table.value[c][r - 1])
                return valueError(" (" + quoted(item.text) + ") is larger than in record " +
                                  std::to_string(r - 1) + " (" + quoted(printedAbove[c]) + ")");
            printed[c] = item.text;
        }

        int count = kStudentColumns;
        for (; !reader.atLineEnd(); ++count)
            reader.next();
        if (count > kStudentColumns)
            return countError(count);
        printedAbove = printed;
    }
    return StudentLoad{table, {}};
}

StudentLoad loadStudentTable(const fs::path& appPath)
{
    const fs::path file = appPath / kStudentFileName;
    std::error_code ec;
    fs::path shown = fs::absolute(file, ec);
    if (ec)
        shown = file;
    const auto cannotRead = [&](const std::string& reason) {
        return failure("cannot be read from " + pathText(shown) + " (" + reason + ")");
    };

    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found)
        return cannotRead("file not found");
    if (ec)
        return cannotRead(ec.message());
    if (fs::is_directory(status))
        return cannotRead("it is a folder");
    if (!fs::is_regular_file(status))
        return cannotRead("it is not a regular file");

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return cannotRead(errno != 0 ? std::generic_category().message(errno)
                                     : std::string("cannot be opened"));
    std::string text(kStudentMaxBytes + 1, '\0');  // one byte more tells a larger file
    in.read(text.data(), std::streamsize(text.size()));
    if (in.bad())
        return cannotRead("read error");
    text.resize(std::size_t(in.gcount()));
    if (text.size() > kStudentMaxBytes)
        return cannotRead("it is larger than " + std::to_string(kStudentMaxBytes >> 20) + " MiB");
    return parseStudentText(text);
}

}  // namespace kalibrix

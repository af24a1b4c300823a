#include "app/student_table.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
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

// Sequential free-format reading of the items after the header line.
// A numeric item ends at a blank, a comma or a line end; a text item (the row label) only at a
// comma or a line end. Either may be enclosed in double quotation marks.
class ItemReader {
public:
    explicit ItemReader(std::string_view text) : text_(text)
    {
        while (pos_ < text_.size() && !isLineEnd(text_[pos_]))  // the header line, whole
            ++pos_;
    }

    // The next item, or nothing at the end of the text.
    std::optional<std::string_view> next(bool numeric)
    {
        while (pos_ < text_.size() && (isBlank(text_[pos_]) || isLineEnd(text_[pos_])))
            ++pos_;
        if (pos_ == text_.size())
            return std::nullopt;

        std::string_view item;
        if (text_[pos_] == '"') {
            const std::size_t start = ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"' && !isLineEnd(text_[pos_]))
                ++pos_;
            item = text_.substr(start, pos_ - start);
            if (pos_ < text_.size() && text_[pos_] == '"')
                ++pos_;
        } else {
            const std::size_t start = pos_;
            while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_])
                   && !(numeric && isBlank(text_[pos_])))
                ++pos_;
            item = text_.substr(start, pos_ - start);
            while (!item.empty() && isBlank(item.back()))
                item.remove_suffix(1);
        }

        // Separator: blanks and at most one comma.
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == ',')
            ++pos_;
        return item;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
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

std::string pathText(const fs::path& p)
{
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

}  // namespace

double StudentTable::lookup(int probCol, int nOK) const
{
    assert(probCol >= 1 && probCol <= kStudentColumns);
    assert(nOK >= 3);
    const int row = std::clamp(nOK - 2, 1, kStudentRows);
    return value[probCol][row];
}

StudentLoad parseStudentText(std::string_view text)
{
    if (text.empty())
        return failure("the file is empty");

    ItemReader reader(text);
    StudentTable table;
    for (int r = 1; r <= kStudentRows; ++r) {
        if (!reader.next(false))  // the row label
            return failure("only " + std::to_string(r - 1) + " of " + std::to_string(kStudentRows)
                           + " records");
        for (int c = 1; c <= kStudentColumns; ++c) {
            const std::optional<std::string_view> item = reader.next(true);
            if (!item)
                return failure("record " + std::to_string(r) + " has " + std::to_string(c - 1)
                               + (c == 2 ? " value, " : " values, ")
                               + std::to_string(kStudentColumns) + " expected");
            const NumberStatus status = parseNumber(*item, table.value[c][r]);
            if (status != NumberStatus::Ok)
                return failure("record " + std::to_string(r) + ", value " + std::to_string(c)
                               + (status == NumberStatus::NotFinite ? " is not a finite number"
                                                                    : " is not a number")
                               + " (\"" + std::string(*item) + "\")");
        }
    }
    return StudentLoad{table, {}};
}

StudentLoad Load_Student(const fs::path& appPath)
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

    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return cannotRead(errno != 0 ? std::generic_category().message(errno)
                                     : std::string("cannot be opened"));
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return cannotRead("read error");
    return parseStudentText(text);
}

}  // namespace kalibrix

#include "run/paste_table.h"
#include "run/table_file.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <string>
#include <variant>

using namespace kalibrix;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

// The bytes of `text` in `encoding`, with a byte order mark when `bom`.
QByteArray encoded(const std::string& text, QStringConverter::Encoding encoding, bool bom)
{
    QStringEncoder encoder(
        encoding, bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(QString::fromStdString(text));
}

// The file `bytes` given to an intake `piece` bytes at a time (0: at once).
TableFileResult readBytes(const QByteArray& bytes, const QLocale& locale, qsizetype piece = 0,
                          const std::string& name = "run.csv")
{
    TableFileIntake intake;
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        const QByteArray part = bytes.mid(at, step);
        if (!intake.add(std::string_view(part.constData(), static_cast<std::size_t>(part.size()))))
            break;
    }
    return intake.finish(name, locale);
}

// What a table holds: each analyte's name and values, and the run's lines.
std::string describe(const PastedTable& t)
{
    std::string out = t.named ? "named" : "plain";
    for (const Analyte& a : t.analytes) {
        out += "\n" + a.name + " nData " + std::to_string(a.table.nData) + ":";
        for (int x = 0; x <= a.table.nData; ++x) {
            if (a.table.y[x])
                out += " " + std::to_string(x) + "=" + std::to_string(*a.table.y[x]);
            if (a.table.yErr[x])
                out += "\u00b1" + std::to_string(*a.table.yErr[x]);
        }
    }
    if (t.run)
        for (const RunLine& line : t.run->lines)
            out += "\n" + line.id + " X " + std::to_string(line.x) + " line " +
                   std::to_string(line.textLine);
    return out;
}

std::string messageOf(const TableFileResult& r)
{
    const UserMessage* m = std::get_if<UserMessage>(&r);
    return m ? m->text : "(read)";
}

// A run of two analytes, one with errors, and a column of IDs; the first name has a comma
// and quotes, the second a semicolon.
const std::string kPaste =
    "X\tID\tCu, \"total\"\tCu, \"total\" err\tZn; Fe\n"
    "1\tStd\t10.5\t0.25\t3\n"
    "2\tStd\t1234.5\t0.5\t6\n"
    "3\tS 1\t15\t\t4.75\n"
    "3\tStd\t40\t\t12\n";

TEST(TableFile, EveryFormOfOneTableGivesThePastesTable)
{
    const PasteResult paste = parseTable(kPaste, kEnglish);
    ASSERT_TRUE(paste.table) << paste.message->text;
    const std::string expected = describe(*paste.table);
    using enum QStringConverter::Encoding;
    const std::string comma =
        "X,ID,\"Cu, \"\"total\"\"\",\"Cu, \"\"total\"\" err\",Zn; Fe\n"
        "1,Std,10.5,0.25,3\n"
        "2,\"Std\",\"1234.5\",0.5,6\n"
        "3,S 1,15,,4.75\n"
        "3,Std,40,,12";
    const struct {
        const char* form;
        QByteArray bytes;
        const QLocale& locale;
        std::string sourceLocale;  // the locale a session reads the converted text in
    } cases[] = {
        {"tab-separated paste", QByteArray::fromStdString(kPaste), kEnglish, "en_US"},
        {"commas and quotes", QByteArray::fromStdString(comma), kGerman, "C"},
        {"semicolons and decimal commas",
         "X;ID;Cu, \"total\";\"Cu, \"\"total\"\" err\";\"Zn; Fe\"\r\n1;Std;10,5;0,25;3\r\n"
         "2;Std;1234,5;0,5;6\r\n3;S 1;15;;4,75\r\n3;Std;40;;12\r\n",
         kEnglish, "C"},
        {"UTF-16 LE, BOM, CR LF",
         encoded(QString::fromStdString(kPaste).replace("\n", "\r\n").toStdString(), Utf16LE, true),
         kEnglish, "en_US"},
        {"UTF-16 BE, BOM", encoded(kPaste, Utf16BE, true), kEnglish, "en_US"},
        {"UTF-8, BOM, CR",
         encoded(QString::fromStdString(comma).replace("\n", "\r").toStdString(), Utf8, true),
         kEnglish, "C"},
    };
    for (const auto& c : cases) {
        for (const qsizetype piece : {0, 1, 3}) {
            const TableFileResult read = readBytes(c.bytes, c.locale, piece);
            const TableFile* file = std::get_if<TableFile>(&read);
            ASSERT_TRUE(file) << c.form << ": " << messageOf(read);
            EXPECT_EQ(describe(file->table), expected) << c.form << ", pieces of " << piece;
            EXPECT_EQ(file->source.locale, c.sourceLocale) << c.form;
            // The text kept reads as the file did, as a session reads it again.
            const PasteResult again =
                parseTable(file->source.text, QLocale(file->source.locale.c_str()));
            ASSERT_TRUE(again.table) << c.form;
            EXPECT_EQ(describe(*again.table), expected) << c.form;
        }
    }
}

TEST(TableFile, RefusalsNameTheFileTheLineAndTheCell)
{
    const std::string tooMany = "X,Y\n" + QByteArray("1,2\n").repeated(6001).toStdString();
    const struct {
        QByteArray bytes;
        std::string message;
    } cases[] = {
        {"X,Cu\n1,2\n2,3\n3,\"1,2,3\"\n", "run.csv, line 4, cell 2: \"1,2,3\" is not a number."},
        // A line end inside quotes: the lines after it, and the cells after it, are the file's.
        {"X,\"Cu\r\ntotal\"\n1,2\n2,3\n3,abc\n",
         "run.csv, line 5, cell 2: \"abc\" is not a number."},
        {"1,2\n2,\"3\n\",x\n3,4\n", "run.csv, line 3, cell 3: \"x\" is not a number."},
        {"1;2\n2;\"3\n3;4\n",
         "run.csv, line 2, cell 2: the quote that opens the cell is not closed."},
        {"1;2,5\n2\n3;4\n",
         "run.csv, line 2 has only one cell; X and Y must be separated by a semicolon."},
        {"1,2\n\n3,4\n4,5\n", "run.csv, line 2 is empty."},
        {"X,Cu,Cu\n1,2,3\n2,3,4\n3,4,5\n",
         "run.csv, column 3 has the name \"Cu\" of column 2; every analyte needs its own name."},
        {"X,\"Cu\ntotal\"\n1,2\n40000,3\n3,4\n",
         "run.csv, line 4: X = 40000 is outside 0 to 30000."},
        {"1,2\n2,3\n", "run.csv: the table has 2 lines; at least 3 are needed."},
        {encoded(tooMany, QStringConverter::Utf16LE, true),
         "run.csv: the table has more than 6000 lines below its names; at most 6000 can be read."},
        {"", "run.csv is empty."},
        {"\xef\xbb\xbf", "run.csv is empty."},
    };
    for (const auto& c : cases)
        for (const qsizetype piece : {0, 1})
            EXPECT_EQ(messageOf(readBytes(c.bytes, kEnglish, piece)), c.message)
                << c.bytes.toStdString() << ", pieces of " << piece;
}

TEST(TableFile, ReadsAFileByItsPathAndSaysWhyItCannot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1,2\n2,3\n3,x\n");
    file.close();
    EXPECT_EQ(messageOf(readTableFile(path, kEnglish)),
              "t.csv, line 3, cell 2: \"x\" is not a number.");
    const std::string absent = messageOf(readTableFile(dir.filePath("absent.csv"), kEnglish));
    EXPECT_TRUE(
        absent.starts_with(dir.filePath("absent.csv").toStdString() + " cannot be opened: "))
        << absent;
}

}  // namespace

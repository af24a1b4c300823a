// The workbook's sheet names: valid in Excel and one per analyte.
#include "workbook/workbook.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <set>

namespace {

TEST(Workbook, SheetNamesAreValidInExcelAndUnique)
{
    const std::string long40(40, 'x');
    const std::vector<std::string> names{"Zn/66",
                                         "a[1]:b*?\\c",
                                         "'Cu'",
                                         "",
                                         "summary",
                                         "Summary",
                                         long40,
                                         long40,
                                         "Fe",
                                         "FE",
                                         "\xc3\xa9" + std::string(30, 'e') + "\xf0\x9f\x98\x80"};
    const std::vector<std::string> sheets = kalibrix::analyteSheetNames(names);
    ASSERT_EQ(sheets.size(), names.size());
    EXPECT_EQ(sheets[0], "Zn_66");
    EXPECT_EQ(sheets[1], "a_1__b___c");
    EXPECT_EQ(sheets[2], "Cu");  // no apostrophe first or last
    EXPECT_EQ(sheets[3], "Analyte 4");
    EXPECT_EQ(sheets[4], "summary (2)");  // "Summary" is the summary's, in any case
    EXPECT_EQ(sheets[5], "Summary (3)");
    EXPECT_EQ(sheets[6], std::string(31, 'x'));
    EXPECT_EQ(sheets[7], std::string(27, 'x') + " (2)");
    EXPECT_EQ(sheets[9], "FE (2)");
    std::set<QString> seen;
    for (const std::string& sheet : sheets) {
        const QString name = QString::fromStdString(sheet);
        EXPECT_TRUE(name.size() <= 31 && !name.isEmpty()) << sheet;
        EXPECT_FALSE(std::any_of(name.begin(), name.end(), [](QChar c) {
            return QStringView(u"[]:*?/\\").contains(c);
        })) << sheet;
        EXPECT_FALSE(name.startsWith(u'\'') || name.endsWith(u'\'')) << sheet;
        EXPECT_TRUE(seen.insert(name.toLower()).second) << sheet;
    }
    // A character beyond the BMP is never cut in half.
    EXPECT_TRUE(QString::fromStdString(sheets[10]).isValidUtf16());
    EXPECT_EQ(QString::fromStdString(sheets[10]).size(), 31);
}

}  // namespace

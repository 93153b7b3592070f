#include <gtest/gtest.h>

#include "formats/dataset_reader.h"
#include "formats/wssp_values.h"

namespace cgp {
namespace {

TEST(WSSPValuesTest, FindArrayIndex) {
    DataSet list = parseDataSetText("(a, 10, 2.50, b, a)");
    EXPECT_EQ(findArrayIndex("a", list), 0u);
    EXPECT_EQ(findArrayIndex("b", list), 3u);
    EXPECT_EQ(findArrayIndex("10.00001", list), 1u);
    EXPECT_EQ(findArrayIndex("2.5", list), 2u);
    EXPECT_EQ(findArrayIndex("2.6", list), 0u);
    EXPECT_EQ(findArrayIndex("zz", list), 0u);
    EXPECT_EQ(findArrayIndex("a", parseDataSetText("a")), 0u);
    EXPECT_EQ(findArrayIndex("", parseDataSetText("(x, \"\")")), 1u);
}

TEST(WSSPValuesTest, Translate) {
    DataSet names = parseDataSetText("{YES = Oui; NO = Non;}");
    std::string text = "YES";
    EXPECT_TRUE(translateString(text, names));
    EXPECT_EQ(text, "Oui");
    text = "MAYBE";
    EXPECT_FALSE(translateString(text, names));
    EXPECT_EQ(text, "MAYBE");
    EXPECT_EQ(translatedString("NO", names), "Non");
    EXPECT_EQ(translatedString("NO", parseDataSetText("(NO)")), "NO");
}

}  // namespace
}  // namespace cgp

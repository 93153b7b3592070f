#pragma once

#include <initializer_list>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "formats/dataset_reader.h"
#include "formats/page_parse.h"
#include "wssp/wssp_page.h"

namespace wssp_test {

// One row of a case table: a page, the data as dataset text, the expected output.
struct RenderCase {
    const char* page;
    const char* data;
    const char* expected;
};

inline std::ostream& operator<<(std::ostream& out, const RenderCase& c) {
    return out << "page [" << c.page << "] data [" << c.data << "]";
}

// The parameterised test of the case tables: each test file instantiates it with its own
// prefix ("Menus/RenderCaseTest.Writes/case0").
class RenderCaseTest : public testing::TestWithParam<RenderCase> {};

// Test names "case0", "case1", ...: the cases' texts make poor test names.
inline std::string caseName(const testing::TestParamInfo<RenderCase>& info) {
    return "case" + std::to_string(info.index);
}

inline cgp::DataSet dataOf(const std::string& text) {
    return text.empty() ? cgp::DataSet(cgp::DataSetKind::Dictionary) : cgp::parseDataSetText(text);
}

inline std::string renderTree(const cgp::WSSPNode* root, const cgp::DataSet& data) {
    std::ostringstream out;
    cgp::WSSPPage::render(root, out, data);
    return out.str();
}

// The page text rendered against the data; "parse failed" when it does not parse.
inline std::string renderPage(const std::string& page, const cgp::DataSet& data) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText(page);
    if (!root) return "parse failed";
    return renderTree(root.get(), data);
}

inline std::string renderPage(const std::string& page, const std::string& data = "") {
    return renderPage(page, dataOf(data));
}

// A node made by hand (for trees no page text gives), owning the children given.
inline cgp::WSSPNode* makeNode(cgp::WSSPNodeKind kind, const std::string& text = "", int number = 0,
                               std::initializer_list<cgp::WSSPNode*> children = {}) {
    cgp::WSSPNode* node = new cgp::WSSPNode(kind);
    node->text = text;
    node->number = number;
    for (cgp::WSSPNode* child : children) node->append(child);
    return node;
}

// A context over the data with fresh variables, as render makes one.
inline cgp::WSSPContext contextFor(const cgp::DataSet& data) {
    cgp::WSSPContext context{data, cgp::DataSet(cgp::DataSetKind::Dictionary)};
    context.variables->dictionary.set("INCLUDEARG", cgp::DataSet(cgp::DataSetKind::Array));
    return context;
}

// The value of the first output of a page "%%<expression>%%", evaluated on its own.
inline cgp::DataSet evaluateExpression(const std::string& expression, const cgp::WSSPContext& context) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("%%" + expression + "%%");
    if (!root) return cgp::DataSet();
    const cgp::WSSPNode* output = root->children.at(0);
    return cgp::WSSPPage::evaluate(output->children.at(1), context);
}

}  // namespace wssp_test

// Loading pages from files.
#include <gtest/gtest.h>

#include "foundation/log_line.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

using cgp::WSSPPage;

TEST(PageLoaderTest, LoadsAndRenders) {
    testsupport::TempFolder folder;
    std::string path = folder.write("page.wssp", "<h1>%%HTML:title%%</h1>\n<!--%%IF show-->yes<!--%%ENDIF-->");
    std::unique_ptr<cgp::WSSPNode> root(WSSPPage::load(path));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_EQ(wssp_test::renderTree(root.get(), wssp_test::dataOf("{title = \"a<b\"; show = YES;}")),
              "<h1>a&lt;b</h1>\nyes");
}

TEST(PageLoaderTest, EmptyFileIsAnEmptySequence) {
    testsupport::TempFolder folder;
    std::unique_ptr<cgp::WSSPNode> root(WSSPPage::load(folder.write("empty.wssp", "")));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->kind, cgp::WSSPNodeKind::Sequence);
    EXPECT_TRUE(root->children.empty());
    EXPECT_EQ(wssp_test::renderTree(root.get(), wssp_test::dataOf("")), "");
}

TEST(PageLoaderTest, FolderAndMissingPathGiveNull) {
    testsupport::TempFolder folder;
    EXPECT_EQ(WSSPPage::load(folder.path()), nullptr);
    EXPECT_EQ(WSSPPage::load(folder / "missing.wssp"), nullptr);
    EXPECT_EQ(WSSPPage::load(""), nullptr);
}

// A page that does not parse gives null, its error line, and leaves no node behind.
TEST(PageLoaderTest, FailedParsesLeaveNothing) {
    testsupport::TempFolder folder;
    std::size_t before = cgp::wsspLiveNodeCount();
    cgp::WSSPNode* loaded;
    {
        std::string path = folder.write("loops.wssp", "<!--%%FOREACH a IN x-->1<!--%%EMPTYFOR b-->2<!--%%ENDFOR a-->");
        testsupport::CaptureStdout capture;
        loaded = WSSPPage::load(path);
    }
    EXPECT_EQ(loaded, nullptr);
    std::string path = folder.write("syntax.wssp", "ok %%a b%%");
    testsupport::CaptureStdout capture;
    loaded = WSSPPage::load(path);
    std::string printed = capture.text();
    capture.stop();
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(printed, "* while parsing \"" + path + "\" file: syntax error : near \"b\" (0:8)\n");
    EXPECT_EQ(cgp::wsspLiveNodeCount(), before);
    // The next load starts afresh.
    std::unique_ptr<cgp::WSSPNode> root(WSSPPage::load(folder.write("good.wssp", "fine")));
    ASSERT_TRUE(root);
    EXPECT_EQ(wssp_test::renderTree(root.get(), wssp_test::dataOf("")), "fine");
}

TEST(PageLoaderTest, MismatchedLoopNamesAreLogged) {
    testsupport::TempFolder folder;
    std::string path = folder.write("loops.wssp", "<!--%%FOREACH a IN x-->1<!--%%EMPTYFOR b-->2<!--%%ENDFOR a-->");
    std::size_t before = cgp::wsspLiveNodeCount();
    testsupport::CaptureStdout capture;
    cgp::WSSPNode* loaded = WSSPPage::load(path);
    std::string printed = capture.text();
    capture.stop();
    EXPECT_EQ(loaded, nullptr);
    EXPECT_NE(printed.find("while parsing a wssp file: syntax error, mismatching scanner names (a, b, a)"),
              std::string::npos)
        << printed;
    EXPECT_EQ(cgp::wsspLiveNodeCount(), before);
}

TEST(PageLoaderTest, TraceLine) {
    testsupport::TempFolder folder;
    std::string path = folder.write("t.wssp", "x");
    WSSPPage::loaderTrace = true;
    testsupport::CaptureStdout capture;
    std::unique_ptr<cgp::WSSPNode> root(WSSPPage::load(path));
    std::string printed = capture.text();
    capture.stop();
    WSSPPage::loaderTrace = false;
    EXPECT_EQ(printed, "* WSSPPage: Loading from file " + path + "\n");
    EXPECT_TRUE(root);
}

}  // namespace

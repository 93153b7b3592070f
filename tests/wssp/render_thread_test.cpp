// Rendering and loading on several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"
#include "tests/wssp/wssp_test_util.h"

namespace {

class FixedPage : public cgp::WSSPIncludeHandler {
public:
    explicit FixedPage(const std::string& text) : page(cgp::parsePageText(text)) {}
    const cgp::WSSPNode* includedPage(const std::string&) override { return page.get(); }
    std::unique_ptr<cgp::WSSPNode> page;
};

// One page from 8 threads; the first date formatting of the process happens in them.
TEST(RenderThreadTest, OnePageFromEightThreads) {
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText(
        "<!--%%FOREACH r IN rows--><tr class=\"<!--%%IF ISEVEN(r)-->e<!--%%ELSE-->o<!--%%ENDIF-->\">"
        "<td>%%HTML:r[].subject%%</td><td>%%DATETIME:r[].date%%</td><td>%%LOCALDATE:r[].date%%</td>"
        "<td><!--%%BOOLMENU r[].flag DEFAULT r[].flag-->%%INCLUDEARG(0)%%</td></tr>\n<!--%%ENDFOR r-->"
        "<!--%%INCLUDE \"part\"(\"arg\")-->");
    ASSERT_TRUE(root);
    FixedPage part("[%%INCLUDEARG(0)%%]");
    cgp::WSSPPage::setIncludeHandler(&part);
    cgp::DataSet data(cgp::DataSetKind::Dictionary);
    cgp::DataSet rows(cgp::DataSetKind::Array);
    for (int i = 0; i < 200; ++i) {
        cgp::DataSet row(cgp::DataSetKind::Dictionary);
        row->dictionary.set("subject", cgp::DataSet("Re: <" + std::to_string(i) + "> & more"));
        row->dictionary.set("date", cgp::DataSet(std::to_string(1700000000 + i * 3600)));
        row->dictionary.set("flag", cgp::DataSet(i % 3 ? "YES" : "NO"));
        rows->array.push_back(row);
    }
    data->dictionary.set("rows", rows);

    std::vector<std::string> outputs(8);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < outputs.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int pass = 0; pass < 5; ++pass) outputs[t] = wssp_test::renderTree(root.get(), data);
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::string alone = wssp_test::renderTree(root.get(), data);
    cgp::WSSPPage::setIncludeHandler(nullptr);
    EXPECT_NE(alone.find("Re: &lt;7&gt; &amp; more"), std::string::npos);
    EXPECT_NE(alone.find("Tue 14-Nov-23"), std::string::npos);
    EXPECT_EQ(alone.substr(alone.size() - 5), "[arg]");
    for (const std::string& output : outputs) EXPECT_EQ(output, alone);
}

// The handler is replaced while renders read it: each include meets one whole handler.
TEST(RenderThreadTest, HandlerReplacedDuringRenders) {
    FixedPage first("1");
    FixedPage second("2");
    std::unique_ptr<cgp::WSSPNode> root = cgp::parsePageText("<!--%%INCLUDE \"x\"-->");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        for (int i = 0; !stop; ++i) cgp::WSSPPage::setIncludeHandler(i % 2 ? &first : &second);
    });
    std::vector<std::thread> renders;
    std::atomic<int> bad{0};
    for (int t = 0; t < 4; ++t) {
        renders.emplace_back([&] {
            cgp::DataSet data(cgp::DataSetKind::Dictionary);
            for (int i = 0; i < 2000; ++i) {
                std::string out = wssp_test::renderTree(root.get(), data);
                if (out != "1" && out != "2" && out != "[INTERNAL ERROR, INCLUDE HANDLER NOT SET]") ++bad;
            }
        });
    }
    for (std::thread& thread : renders) thread.join();
    stop = true;
    swapper.join();
    cgp::WSSPPage::setIncludeHandler(nullptr);
    EXPECT_EQ(bad, 0);
}

// Failed loads on one thread leave alone the trees another thread is building.
TEST(RenderThreadTest, FailedLoadsBesideTreeBuilding) {
    testsupport::TempFolder folder;
    std::string bad = folder.write("bad.wssp", "<!--%%IF a-->never closed");
    std::string mismatched = folder.write("loop.wssp", "<!--%%FOREACH a IN x--><!--%%EMPTYFOR b--><!--%%ENDFOR a-->");
    std::string good = folder.write("good.wssp", "%%a%%");
    std::atomic<bool> stop{false};
    std::atomic<int> lost{0};
    std::thread builder([&] {
        while (!stop) {
            std::unique_ptr<cgp::WSSPNode> tree(new cgp::WSSPNode(cgp::WSSPNodeKind::Sequence));
            for (int i = 0; i < 51; ++i) tree->append(new cgp::WSSPNode(cgp::WSSPNodeKind::Variable));
            // Pages parsed here too, beside the failing ones.
            if (!cgp::parsePageText("x%%v%%")) ++lost;
            for (cgp::WSSPNode* child : tree->children)
                if (!cgp::wsspIsLiveNode(child)) ++lost;
            if (tree->children.size() != 51) ++lost;
        }
    });
    testsupport::CaptureStdout quiet;
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(cgp::WSSPPage::load(bad), nullptr);
        EXPECT_EQ(cgp::WSSPPage::load(mismatched), nullptr);
        std::unique_ptr<cgp::WSSPNode> page(cgp::WSSPPage::load(good));
        EXPECT_TRUE(page);
    }
    quiet.stop();
    stop = true;
    builder.join();
    EXPECT_EQ(lost, 0);
}

}  // namespace

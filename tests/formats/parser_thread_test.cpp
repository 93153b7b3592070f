#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"
#include "formats/parser.h"
#include "formats/router_row_sink.h"
#include "tests/formats/page_test_util.h"

namespace cgp {
namespace {

class CountingSink : public RouterRowSink {
public:
    void addRouterRow(const std::string& left, bool, const std::string* right) override {
        last = left + "=" + (right ? *right : "");
        ++count;
    }
    int count = 0;
    std::string last;
};

// Four threads (two pages, a Router table, a dataset), each parsing its own texts in a
// loop; every result must be its own. The page threads also free their trees while other
// threads build theirs, which the live-node set's lock has to bear.
TEST(ParserThreadTest, ConcurrentParsesKeepTheirResults) {
    std::vector<std::string> failures(4);
    auto work = [&failures](int id) {
        std::string tag = "t" + std::to_string(id);
        for (int round = 0; round < 200; ++round) {
            if (id == 3) {
                std::string text = "{name = " + tag + "; list = (" + tag + ", \"" + tag + " x\", [SGVsbG8=]); n = {k = #" +
                                   std::to_string(id) + ";};}";
                std::string expected = "{list = (" + tag + ",\"" + tag + " x\",[SGVsbG8=]);n = {k = " +
                                       std::to_string(id) + ";};name = " + tag + ";}";
                std::string got = DataSet::toString(parseDataSetText(text), false);
                if (got != expected) failures[id] = got;
            } else if (id <= 1) {
                std::string page = "<b>" + tag + "</b><!--%%IF " + tag + "-->%%HTML:" + tag + "%%<!--%%ENDIF-->";
                std::string expected = "Seq(Text \"<b>" + tag + "</b>\", If(Var " + tag + ", Seq(Output(Call 332, Var " +
                                       tag + ")), Empty))";
                std::string got = pageDump(page);
                if (got != expected) failures[id] = got;
            } else {
                CountingSink sink;
                std::string table;
                for (int row = 0; row < 20; ++row) table += tag + "r" + std::to_string(row) + " = " + tag + "\n";
                if (!cgparserParseString(table, RouterMode, &sink) || sink.count != 20 ||
                    sink.last != tag + "r19=" + tag) {
                    failures[id] = "router rows " + std::to_string(sink.count) + " " + sink.last;
                }
            }
        }
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id) threads.emplace_back(work, id);
    for (std::thread& thread : threads) thread.join();
    for (int id = 0; id < 4; ++id) EXPECT_EQ(failures[id], "") << "thread " << id;
}

}  // namespace
}  // namespace cgp

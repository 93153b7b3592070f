#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/dataset.h"
#include "formats/dataset_writer.h"
#include "formats/page_parse.h"
#include "formats/parser.h"
#include "formats/wssp_node.h"
#include "formats/wssp_node_dump.h"
#include "foundation/mutex.h"
#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

using testsupport::TempFolder;
using testsupport::processTempFolder;
using testsupport::readWhole;

namespace conformance {

// Value builders for expected trees.
inline cgp::DataSet S(const std::string& text) { return cgp::DataSet(text); }
inline cgp::DataSet B(const std::string& bytes) {
    cgp::DataSet d(cgp::DataSetKind::Data);
    d->stringValue = bytes;
    return d;
}
inline cgp::DataSet E() { return cgp::DataSet(cgp::DataSetKind::Empty); }
inline cgp::DataSet A(std::vector<cgp::DataSet> items) {
    cgp::DataSet a(cgp::DataSetKind::Array);
    for (auto& item : items) a->array.push_back(item);
    return a;
}
inline cgp::DataSet D(std::vector<std::pair<std::string, cgp::DataSet>> entries) {
    cgp::DataSet d(cgp::DataSetKind::Dictionary);
    for (auto& entry : entries) d->dictionary.set(entry.first, entry.second);
    return d;
}

inline std::string show(const cgp::DataSet& value) {
    return "kind " + std::to_string(static_cast<int>(value.kind())) + ": " + cgp::DataSet::toString(value, false);
}

inline std::string dumpPage(const std::string& text) {
    auto root = cgp::parsePageText(text);
    return root ? cgp::dumpWSSPTree(root.get()) : std::string("failed");
}

// The output of a file parse in a mode: its result and what it wrote on standard output.
inline std::pair<bool, std::string> parseFileOutput(const std::string& path, int mode) {
    testsupport::CaptureStdout capture;
    bool ok = cgp::cgparserParseFile(path, mode);
    return {ok, capture.text()};
}

}  // namespace conformance

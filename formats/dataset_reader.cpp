#include "formats/dataset_reader.h"

#include "formats/internal/dataset_pool.h"
#include "formats/parser.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"

namespace cgp {

std::atomic<bool> dataSetReaderTrace{false};

namespace {

// The result of the parse just run: the top-level list, or its one element.
DataSet poolResult(bool parsed) {
    DataSet result;
    if (parsed) result = takeDataSetPoolValue(dataSetPoolResult());
    if (result.kind() == DataSetKind::Array && result->array.size() == 1) {
        DataSet only = result->array.front();
        result = only;
    }
    return result;
}

DataSet finish(DataSet result, const DataSet& link) {
    if (result.isNull()) result = DataSet(DataSetKind::Empty);
    result->setLink(link);
    return result;
}

}  // namespace

DataSet parseDataSet(const std::string& text, const DataSet& link) {
    DataSet result;
    {
        tmg::MutexLock lock(&dataSetPoolMutex());
        bool parsed = cgparserParseString(text, DataSetMode);
        result = poolResult(parsed);
        clearDataSetPool();
        if (!parsed && dataSetReaderTrace) tmg::logline("Dataset") << "string can't be parsed";
    }
    return finish(result, link);
}

DataSet parseDataSetText(const std::string& text) { return parseDataSet(text, DataSet(DataSetKind::Empty)); }

DataSet loadDataSet(const std::string& path, const DataSet& link) {
    if (dataSetReaderTrace) tmg::logline("Dataset") << "Loading from file " << path;
    DataSet result;
    {
        tmg::MutexLock lock(&dataSetPoolMutex());
        if (tmg::fs::isFile(path) && tmg::fs::isReadable(path)) {
            bool parsed = cgparserParseFile(path, DataSetMode);
            result = poolResult(parsed);
            clearDataSetPool();
        } else if (dataSetReaderTrace) {
            tmg::logline("Dataset") << "File " << path << " not found or can't be read";
        }
    }
    return finish(result, link);
}

DataSet loadDataSetFile(const std::string& path) { return loadDataSet(path, DataSet(DataSetKind::Empty)); }

}  // namespace cgp

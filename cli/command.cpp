#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp::cli_internal {

void Command::resultNone() { client.execute(line); }

DataSet Command::resultDataSet() {
    client.execute(line);
    return client.getResponseData();
}

std::string Command::resultString() {
    client.execute(line);
    DataSet value = client.getResponseData();
    DataSetKind kind = value.kind();
    if (kind == DataSetKind::String || kind == DataSetKind::Data) return value->stringValue;
    return std::string();
}

}  // namespace cgp::cli_internal

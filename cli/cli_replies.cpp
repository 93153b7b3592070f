#include "cli/cli.h"

#include <utility>

#include "cli/command_line.h"
#include "cli/reply_line.h"
#include "formats/dataset_reader.h"
#include "formats/dataset_writer.h"

namespace cgp {

void CLI::sendLine(const std::string& line) {
    cli_internal::requireSingleLine(line);
    if (fd <= 0) throw tmg::ConnectionResetException();
    tmg::Socket::send(line, true, true);
}

std::string CLI::readLine() {
    if (fd <= 0) throw tmg::ConnectionResetException();
    std::string line;
    while (!cli_internal::takeThroughLineFeed(line, receiveBuffer, receiveStart))
        tmg::Socket::receive(receiveBuffer, true);
    return line;
}

void CLI::readResponse(bool throwOnError) {
    std::string line = readLine();
    cli_internal::ReplyLine reply;
    try {
        reply = cli_internal::splitReplyLine(line);
    } catch (const tmg::InvalidServerResponseException&) {
        throw;
    } catch (const tmg::ProtocolException&) {
        replyCode = 0;
        throw;
    }
    replyCode = reply.code;
    if (reply.success) {
        replyData = std::move(reply.text);
        replyMessage = "OK";
        return;
    }
    replyMessage = std::move(reply.text);
    if (throwOnError) throw CLIException(replyMessage, replyCode);
}

void CLI::execute(const std::string& line) {
    sendLine(line);
    readResponse(true);
}

void CLI::sendCommand(const std::string& line) { execute(line); }

std::string CLI::readResponseData() {
    if (replyCode == 201) return replyData;
    return readLine();
}

DataSet CLI::getResponseData() { return parseData(readResponseData()); }

DataSet CLI::parseData(const std::string& text) { return parseDataSetText(text); }

std::string CLI::toText(const DataSet& value) { return DataSet::toString(value, false); }

std::string CLI::quote(const std::string& text) { return quoteDataSetWord(text); }

bool CLI::needsQuoting(const std::string& text) {
    if (text.empty()) return true;
    for (unsigned char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '@' || c == '.' || c == '-';
        if (!plain) return true;
    }
    return false;
}

void CLI::requireString(const std::string& text) { cli_internal::requireText(text); }

void CLI::requireDataSet(const DataSet& value, DataSetKind expected) {
    cli_internal::requireNonEmptyDataSet(value, expected);
}

}  // namespace cgp

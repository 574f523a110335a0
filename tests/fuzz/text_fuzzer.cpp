// libFuzzer target for the text a user types: a query for the stand-in's query helper, the SQL
// its provider reads, tarvel-host's command line, and file names. Each must end in a result
// the next step accepts or in a clear error, with no crash, sanitizer report or leak:
// - a query becomes SQL that the provider's reader accepts, with the limit asked for, or is
//   refused with QUERY_E_INVALIDQUERY or QUERY_E_ALLNOISE;
// - any SQL is read or refused with DB_E_ERRORSINCOMMAND;
// - a command line is taken or refused with a message;
// - bytes taken as a file name come back as the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_options.h"
#include "query_syntax.h"
#include "sql_query.h"

namespace {

using namespace tarvel;

[[noreturn]] void fail(const char* what, const std::string& input) {
    std::fprintf(stderr, "%s: %s\n", what, input.c_str());
    std::abort();
}

WString wideText(FuzzedDataProvider& in) {
    const std::string bytes = in.ConsumeRandomLengthString(512);
    WString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += WCHAR(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
    }
    return text;
}

void query(FuzzedDataProvider& in) {
    service::QueryHelperSettings settings;
    settings.maxResults = in.ConsumeIntegral<int32_t>();
    if (in.ConsumeBool()) {
        settings.selectColumns = utf16FromUtf8("System.ItemPathDisplay");
    }
    const WString text =
        in.ConsumeBool() ? wideText(in) : utf16FromUtf8(in.ConsumeRandomLengthString(256));
    WString sql;
    const HRESULT hr = service::generateSql(text, settings, sql);
    if (FAILED(hr)) {
        if (hr != service::QUERY_E_INVALIDQUERY && hr != service::QUERY_E_ALLNOISE) {
            fail("a query failed without a query error", utf8FromUtf16(text));
        }
        return;
    }
    service::SqlQuery parsed;
    if (service::parseSql(sql, parsed) != S_OK) {
        fail("the provider refused the helper's SQL", utf8FromUtf16(sql));
    }
    const long top = settings.maxResults > 0 ? settings.maxResults : -1;
    if (parsed.top != top || parsed.conditions.empty()) {
        fail("the SQL lost the limit or the terms", utf8FromUtf16(sql));
    }
}

void sql(FuzzedDataProvider& in) {
    const WString text =
        in.ConsumeBool() ? wideText(in) : utf16FromUtf8(in.ConsumeRandomLengthString(512));
    service::SqlQuery parsed;
    const HRESULT hr = service::parseSql(text, parsed);
    if (hr != S_OK && hr != DB_E_ERRORSINCOMMAND) {
        fail("SQL refused with another code", utf8FromUtf16(text));
    }
}

void commandLine(FuzzedDataProvider& in) {
    std::vector<WString> arguments;
    const size_t count = in.ConsumeIntegralInRange<size_t>(0, 8);
    for (size_t i = 0; i < count; ++i) {
        static const char* const kWords[] = {"--max", "--index", "--module", "--info", "--help",
                                             "--",    "-h",      "-",        "--max=", "--index="};
        arguments.push_back(in.ConsumeBool() ? utf16FromUtf8(in.PickValueInArray(kWords))
                                             : utf16FromFileName(in.ConsumeRandomLengthString(32)));
    }
    host::HostOptions options;
    std::string error;
    if (!host::parseHostOptions(arguments, utf16FromUtf8("."), options, error)) {
        if (error.empty()) {
            fail("a command line refused without a message", std::to_string(count));
        }
        return;
    }
    if (!options.help && !options.info && options.query.empty()) {
        fail("a command line taken without a query", std::to_string(count));
    }
}

void fileName(FuzzedDataProvider& in) {
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    if (fileNameFromUtf16(utf16FromFileName(bytes)) != bytes) {
        fail("a file name did not come back as its bytes", bytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            query(in);
            break;
        case 1:
            sql(in);
            break;
        case 2:
            commandLine(in);
            break;
        default:
            fileName(in);
            break;
    }
    return 0;
}

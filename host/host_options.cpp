#include "host_options.h"

#include <algorithm>
#include <climits>

namespace tarvel::host {

const char kUsage[] =
    "Usage: tarvel-host [options] QUERY...\n"
    "       tarvel-host [options] --check [--json] [FOLDER]\n"
    "       tarvel-host --info\n"
    "Searches through the Tarvel Windows Search module, loaded as the file manager loads it,\n"
    "and prints every result line as it arrives.\n"
    "\n"
    "With --check, tells why a search would find nothing: one line for each of the module,\n"
    "the Windows Search service (on Windows), the search manager, the system index,\n"
    "whether FOLDER (default: the current directory) is in the indexed locations, and a search\n"
    "for a file in FOLDER; the last line is the verdict, with what to do.\n"
    "\n"
    "Options:\n"
    "  --max N        at most N results; 0 or a negative number means no limit (default -1)\n"
    "  --index DIR    search DIR through the stand-in Windows Search service (the default on\n"
    "                 Linux is the current directory; on Windows the real service is used\n"
    "                 unless --index is given)\n"
    "  --module PATH  the module file to load (default: the one beside this program)\n"
    "  --info         print the module's description and exit\n"
    "  --check        check this machine's search for FOLDER, as above\n"
    "  --json         with --check: the findings and the verdict as one JSON object\n"
    "  -h, --help     print this help and exit\n"
    "\n"
    "Exit status: 0 when the results were listed (there may be none), 1 when the search could\n"
    "not be made or its results not written in full (no search service, a folder that cannot\n"
    "be read, output that cannot be written), 2 for bad usage or a query the query helper\n"
    "rejects. With --check: 0 when searching works, 1 when a problem was found, 2 for bad\n"
    "usage, a FOLDER that does not exist included.\n"
    "\n"
    "The stand-in service understands a small part of the Windows Search syntax, for tests and\n"
    "trying the module out: words (all must occur in the file name, A-Z without case),\n"
    "\"quoted phrases\", * and ? wildcards (matching the whole name), ext:EXT.\n";

namespace {

WString ascii(const char* text) {
    return utf16FromUtf8(text);
}

// A whole number of any length into value: false, with what is wrong, for what is none or lies
// beyond a 32-bit count.
bool parseCount(const WString& text, int32_t& value, std::string& problem) {
    const size_t first = !text.empty() && text[0] == u'-' ? 1 : 0;
    if (first == text.size()) {
        problem = "needs a whole number";
        return false;
    }
    constexpr long long kBeyond = (long long)INT32_MAX + 2;
    long long number = 0;
    for (size_t i = first; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            problem = "needs a whole number";
            return false;
        }
        number = std::min(number * 10 + (text[i] - u'0'), kBeyond);
    }
    number = first != 0 ? -number : number;
    if (number < INT32_MIN || number > INT32_MAX) {
        problem = "is out of range (-2147483648 to 2147483647)";
        return false;
    }
    value = int32_t(number);
    return true;
}

// "--name value" or "--name=value".
bool optionValue(const std::vector<WString>& arguments, size_t& i, const WString& name,
                 WString& value, bool& matched, std::string& error) {
    const WString& argument = arguments[i];
    if (argument == name) {
        matched = true;
        if (i + 1 >= arguments.size()) {
            error = utf8FromUtf16(name) + " needs a value";
            return false;
        }
        value = arguments[++i];
        return true;
    }
    const WString prefix = name + WCHAR('=');
    if (argument.rfind(prefix, 0) == 0) {
        matched = true;
        value = argument.substr(prefix.size());
        return true;
    }
    matched = false;
    return true;
}

}  // namespace

bool parseHostOptions(const std::vector<WString>& arguments, const WString& defaultIndex,
                      HostOptions& options, std::string& error) {
    options = HostOptions{};
    options.index = defaultIndex;
    bool queryOnly = false;
    bool indexGiven = false;
    bool maxGiven = false;
    std::vector<WString> words;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const WString& argument = arguments[i];
        if (queryOnly || argument.empty() || argument[0] != u'-' || argument == ascii("-")) {
            words.push_back(argument);
            continue;
        }
        if (argument == ascii("--")) {
            queryOnly = true;
            continue;
        }
        if (argument == ascii("-h") || argument == ascii("--help")) {
            options.help = true;
            continue;
        }
        if (argument == ascii("--info")) {
            options.info = true;
            continue;
        }
        if (argument == ascii("--check")) {
            options.check = true;
            continue;
        }
        if (argument == ascii("--json")) {
            options.json = true;
            continue;
        }
        WString value;
        bool matched = false;
        if (!optionValue(arguments, i, ascii("--max"), value, matched, error)) {
            return false;
        }
        if (matched) {
            std::string problem;
            if (!parseCount(value, options.maxResults, problem)) {
                error = "--max " + problem + ", not '" + utf8FromUtf16(value) + "'";
                return false;
            }
            maxGiven = true;
            continue;
        }
        if (!optionValue(arguments, i, ascii("--index"), value, matched, error)) {
            return false;
        }
        if (matched) {
            if (value.empty()) {
                error = "--index needs a folder";
                return false;
            }
            if (indexGiven) {
                error = "--index given twice";
                return false;
            }
            indexGiven = true;
            options.index = value;
            continue;
        }
        if (!optionValue(arguments, i, ascii("--module"), value, matched, error)) {
            return false;
        }
        if (matched) {
            if (value.empty()) {
                error = "--module needs a file";
                return false;
            }
            options.module = value;
            continue;
        }
        error = "unknown option " + utf8FromUtf16(argument);
        return false;
    }
    if (options.json && !options.check) {
        error = "--json goes with --check";
        return false;
    }
    if (options.info && (options.check || !words.empty())) {
        error =
            options.check ? "--info and --check are two things: give one" : "--info takes no query";
        return false;
    }
    if (options.check) {
        if (maxGiven) {
            error = "--max goes with a search, not with --check";
            return false;
        }
        if (words.size() > 1) {
            error = "--check takes one folder";
            return false;
        }
        options.folder = words.empty() ? ascii(".") : words[0];
        if (options.folder.empty()) {
            error = "--check needs a folder";
            return false;
        }
        return true;
    }
    for (const WString& word : words) {
        if (!options.query.empty()) {
            options.query += u' ';
        }
        options.query += word;
    }
    if (!options.help && !options.info && options.query.empty()) {
        error = "no query given";
        return false;
    }
    return true;
}

}  // namespace tarvel::host

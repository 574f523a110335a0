#include "search_run.h"

#include <cstring>

#include "command.h"
#include "common/com_ptr.h"
#include "data_source.h"
#include "query_translator.h"
#include "session.h"

namespace tarvel {

namespace {

constexpr WCHAR kErrorReading[] = TARVEL_UTF16("(Error reading result)");

// A BSTR's text up to its first NUL; a null BSTR is the empty string.
void appendBstr(BSTR text, LineBuffer& line) {
    if (text != nullptr) {
        line.append(text, SysStringLen(text));
    }
}

}  // namespace

HRESULT SearchRun::run(SearchRequest* request, HostAppInfo* info, HostCallback callback) {
    // Declared in the reverse of the teardown order, so that every exit releases the command,
    // then the session, the SQL text and last the data source.
    DataSource dataSource;
    TaskMemPtr<WCHAR> sql;
    HRESULT hr = QueryTranslator::translate(request->query, sql.put(), request->maxResults);
    if (FAILED(hr)) {
        return hr;
    }
    hr = dataSource.open(kSearchProviderString);
    if (FAILED(hr)) {
        return hr;
    }
    const HRESULT opened = hr;
    Session session;
    if (FAILED(session.open(dataSource))) {
        return opened;
    }
    Command command(kSearchBlobHandling, kSearchBlobThreshold);
    hr = command.create(session, sql.get());
    if (SUCCEEDED(hr)) {
        hr = command.execute();
    }
    if (FAILED(hr)) {
        command.close();
        return opened;
    }
    HRESULT result = hr;
    if (command.results().isOpen()) {
        result = walkRows(command, info, callback);
    }
    command.closeResults();
    command.close();
    return result == DB_S_ENDOFROWSET ? S_FALSE : result;
}

HRESULT SearchRun::walkRows(Command& command, HostAppInfo* info, HostCallback callback) {
    const DynamicAccessor& accessor = command.columns();
    LineBuffer line;
    const SingleText single = SingleText::of(accessor);
    HRESULT hr = command.moveToFirstRow();
    while (hr == S_OK) {
        callback(info, HostOutputLine, const_cast<WCHAR*>(lineOf(accessor, single, line)));
        hr = command.moveToNextRow();
    }
    return hr;
}

const WCHAR* SearchRun::builtLine(const DynamicAccessor& accessor, LineBuffer& line) {
    buildLine(accessor, line);
    if (!line.whole()) {
        // A line longer than any path Windows hands over is an error, never a cut; it goes to
        // the host from the line's own room, as every line does.
        line.clear();
        line.append(kErrorReading);
    }
    return line.text();
}

SearchRun::SingleText SearchRun::SingleText::of(const DynamicAccessor& accessor) {
    SingleText single;
    DBORDINAL index = 0;
    if (accessor.getColumnCount() != 1 || !accessor.hasRowBuffer() ||
        !accessor.findColumn(1, &index) || accessor.typeAt(index) != DBTYPE_WSTR) {
        return single;
    }
    const DBLENGTH units = accessor.valueSizeAt(index) / sizeof(WCHAR);
    if (units == 0 || units > LineBuffer::kCapacity) {
        return single;
    }
    const BYTE* row = accessor.rowBufferForReading();
    single.value = static_cast<const BYTE*>(accessor.valueAt(index));
    single.length = row + accessor.lengthOffset(index);
    single.status = row + accessor.statusOffset(index);
    single.lastUnit = units - 1;
    return single;
}

const WCHAR* SearchRun::SingleText::text() const {
    if (value == nullptr) {
        return nullptr;
    }
    DBSTATUS read;
    std::memcpy(&read, status, sizeof read);
    if (read != DBSTATUS_S_OK && read != DBSTATUS_S_TRUNCATED) {
        return nullptr;
    }
    // The text ends where the provider's length says, or at the end of the field when it was
    // cut; it is handed over where it lies only when a terminator is there.
    DBLENGTH bytes;
    std::memcpy(&bytes, length, sizeof bytes);
    const DBLENGTH end = bytes / sizeof(WCHAR) < lastUnit ? bytes / sizeof(WCHAR) : lastUnit;
    WCHAR last;
    std::memcpy(&last, value + end * sizeof(WCHAR), sizeof last);
    return last == 0 ? reinterpret_cast<const WCHAR*>(value) : nullptr;
}

void SearchRun::buildLine(const DynamicAccessor& accessor, LineBuffer& line) {
    line.clear();
    for (DBORDINAL ordinal = 1; ordinal <= accessor.getColumnCount(); ++ordinal) {
        appendColumn(accessor, ordinal, line);
    }
}

void SearchRun::appendColumn(const DynamicAccessor& accessor, DBORDINAL ordinal, LineBuffer& line) {
    DBORDINAL index = 0;
    // An ordinal the accessor cannot translate is reported as unreadable; nothing is read.
    if (!accessor.hasRowBuffer() || !accessor.findColumn(ordinal, &index)) {
        line.append(kErrorReading);
        return;
    }
    const DBSTATUS status = accessor.statusAt(index);
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED) {
        line.append(kErrorReading);
        return;
    }
    const DBTYPE type = accessor.typeAt(index);
    const void* value = accessor.valueAt(index);
    if (type == DBTYPE_WSTR || type == DBTYPE_BSTR || type == DBTYPE_VARIANT) {
        if (value == nullptr) {
            line.append(kErrorReading);
            return;
        }
    }
    if (type == DBTYPE_WSTR) {
        // The provider terminates the text within the field; never read beyond it.
        line.append(static_cast<const WCHAR*>(value), accessor.valueSizeAt(index) / sizeof(WCHAR));
    } else if (type == DBTYPE_BSTR) {
        BSTR text;
        std::memcpy(&text, value, sizeof text);
        appendBstr(text, line);
    } else if (type == DBTYPE_VARIANT) {
        const auto* variant = static_cast<const VARIANT*>(value);
        if (V_VT(variant) == VT_BSTR) {
            appendBstr(V_BSTR(variant), line);
        } else {
            line.appendUnhandledType(DBTYPE_VARIANT);
        }
    } else {
        line.appendUnhandledType(type);
    }
}

}  // namespace tarvel

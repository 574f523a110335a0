// One search request, from the user's query to the last result line, and the teardown of
// everything it created.
#pragma once

#include "dynamic_accessor.h"
#include "host_records.h"
#include "line_buffer.h"
#include "rowset.h"

namespace tarvel {

// How a search opens the Windows Search provider and binds its columns; tarvel-host --check
// describes the rowset of its test search bound the same way.
inline constexpr WCHAR kSearchProviderString[] =
    TARVEL_UTF16("provider=Search.CollatorDSO.1;EXTENDED PROPERTIES=\"Application=Windows\"");
inline constexpr BlobHandling kSearchBlobHandling = BlobHandling::Default;
inline constexpr DBLENGTH kSearchBlobThreshold = 8000;

class Command;

class SearchRun {
public:
    // Lines go to callback, called with info as the host's record.
    static HRESULT run(SearchRequest* request, HostAppInfo* info, HostCallback callback);

    // The row in the accessor's row buffer as one line in line: every column's piece, joined.
    static void buildLine(const DynamicAccessor& accessor, LineBuffer& line);

private:
    // A row whose line is exactly one text: the only column, bound as DBTYPE_WSTR in a field
    // that a line can hold whole. Such a text, terminated inside its field, is the line the
    // copy would make. Where the column's fields lie is worked out once for the walk.
    struct SingleText {
        const BYTE* value = nullptr;  // null: the rows' lines are built
        const BYTE* length = nullptr;
        const BYTE* status = nullptr;
        DBLENGTH lastUnit = 0;

        static SingleText of(const DynamicAccessor& accessor);
        const WCHAR* text() const;
    };

    static HRESULT walkRows(Command& command, HostAppInfo* info, HostCallback callback);
    // The one place that decides a row's line, terminated, as the host is handed it: the only
    // text where it lies when that is the line buildLine makes, else the line built in line,
    // or the error in its place when the line would be longer than any path.
    static const WCHAR* lineOf(const DynamicAccessor& accessor, const SingleText& single,
                               LineBuffer& line) {
        const WCHAR* text = single.text();
        return text != nullptr ? text : builtLine(accessor, line);
    }
    // The line built in line, or the error in its place.
    static const WCHAR* builtLine(const DynamicAccessor& accessor, LineBuffer& line);
    static void appendColumn(const DynamicAccessor& accessor, DBORDINAL ordinal, LineBuffer& line);
};

}  // namespace tarvel

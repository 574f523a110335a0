// The pure part of converting values: sizes of types, cells as text or as fixed-length bytes,
// and text cut into a field.
#include <algorithm>
#include <cstring>
#include <string>

#include "value_conversion.h"

namespace tarvel::service {

DBLENGTH fixedSize(DBTYPE type) {
    switch (type) {
        case DBTYPE_I1:
            return sizeof(CHAR);
        case DBTYPE_UI1:
            return sizeof(BYTE);
        case DBTYPE_I2:
            return sizeof(SHORT);
        case DBTYPE_UI2:
            return sizeof(USHORT);
        case DBTYPE_BOOL:
            return sizeof(VARIANT_BOOL);
        case DBTYPE_I4:
            return sizeof(LONG);
        case DBTYPE_UI4:
            return sizeof(ULONG);
        case DBTYPE_R4:
            return sizeof(FLOAT);
        case DBTYPE_ERROR:
            return sizeof(SCODE);
        case DBTYPE_DBDATE:
            return sizeof(DBDATE);
        case DBTYPE_DBTIME:
            return sizeof(DBTIME);
        case DBTYPE_I8:
            return sizeof(LONGLONG);
        case DBTYPE_UI8:
            return sizeof(ULONGLONG);
        case DBTYPE_R8:
            return sizeof(DOUBLE);
        case DBTYPE_CY:
            return sizeof(CY);
        case DBTYPE_DATE:
            return sizeof(DATE);
        case DBTYPE_FILETIME:
            return sizeof(FILETIME);
        case DBTYPE_BSTR:
            return sizeof(BSTR);
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
            return sizeof(void*);  // an interface pointer
        case DBTYPE_HCHAPTER:
            return sizeof(HCHAPTER);
        case DBTYPE_DECIMAL:
            return sizeof(DECIMAL);
        case DBTYPE_GUID:
            return sizeof(GUID);
        case DBTYPE_DBTIMESTAMP:
            return sizeof(DBTIMESTAMP);
        case DBTYPE_NUMERIC:
            return sizeof(DB_NUMERIC);
        case DBTYPE_VARIANT:
            return sizeof(VARIANT);
        case DBTYPE_PROPVARIANT:
            return sizeof(PROPVARIANT);
        default:
            return 0;
    }
}

DBLENGTH valueFieldSize(const DBBINDING& binding) {
    const DBTYPE type = binding.wType;
    if ((type & (DBTYPE_BYREF | DBTYPE_ARRAY)) != 0) {
        return sizeof(void*);
    }
    if ((type & DBTYPE_VECTOR) != 0) {
        return sizeof(DBVECTOR);
    }
    const DBLENGTH fixed = fixedSize(type);
    return fixed != 0 ? fixed : binding.cbMaxLen;
}

bool textOf(const Cell& cell, WString& text) {
    switch (cell.kind) {
        case Cell::Kind::Text:
            text = cell.text;
            return true;
        case Cell::Kind::NullText:
            text.clear();
            return true;
        case Cell::Kind::Integer: {
            const std::string digits = std::to_string(cell.integer);
            text.assign(digits.begin(), digits.end());
            return true;
        }
        default:
            return false;
    }
}

bool fixedBytes(const Cell& cell, DBTYPE type, DBLENGTH size, std::vector<BYTE>& out) {
    out.assign(size, 0);
    auto put = [&](const auto& number) {
        std::memcpy(out.data(), &number, std::min<DBLENGTH>(size, sizeof number));
        return true;
    };
    switch (cell.kind) {
        case Cell::Kind::Integer:
            if (type == DBTYPE_R4) {
                return put(float(cell.integer));
            }
            if (type == DBTYPE_R8 || type == DBTYPE_DATE) {
                return put(double(cell.integer));
            }
            if (type == DBTYPE_BOOL) {
                return put(VARIANT_BOOL(cell.integer != 0 ? VARIANT_TRUE : VARIANT_FALSE));
            }
            return put(cell.integer);
        case Cell::Kind::Real:
            return type == DBTYPE_R4 ? put(float(cell.real)) : put(cell.real);
        case Cell::Kind::Bytes:
            if (!cell.bytes.empty()) {
                std::memcpy(out.data(), cell.bytes.data(),
                            std::min<DBLENGTH>(size, cell.bytes.size()));
            }
            return true;
        default:
            return false;
    }
}

DBSTATUS writeWideText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length) {
    *length = text.size() * sizeof(WCHAR);
    const size_t room = maxLength / sizeof(WCHAR);
    if (room == 0) {
        return DBSTATUS_S_TRUNCATED;
    }
    const size_t copied = std::min(text.size(), room - 1);
    std::memcpy(field, text.data(), copied * sizeof(WCHAR));
    const WCHAR terminator = 0;
    std::memcpy(field + copied * sizeof(WCHAR), &terminator, sizeof terminator);
    return copied < text.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

DBSTATUS writeNarrowText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length) {
    *length = text.size();
    if (maxLength == 0) {
        return DBSTATUS_S_TRUNCATED;
    }
    const size_t copied = std::min<size_t>(text.size(), maxLength - 1);
    for (size_t i = 0; i < copied; ++i) {
        field[i] = text[i] < 0x80 ? BYTE(text[i]) : BYTE('?');
    }
    field[copied] = 0;
    return copied < text.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

}  // namespace tarvel::service

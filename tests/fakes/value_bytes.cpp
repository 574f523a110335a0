// The pure part of converting values: scripted cells, sizes of types, values as text or as
// fixed-length bytes, and text cut into a field.
#include <algorithm>
#include <cstring>
#include <string>

#include "value_conversion.h"

namespace tarvel::service {

Cell scriptedCell(Value value) {
    Cell cell;
    cell.kind = Cell::Kind::Other;
    cell.other = std::make_shared<const Value>(std::move(value));
    return cell;
}

namespace {

Cell cellOf(Value::Kind kind, Value value = {}) {
    value.kind = kind;
    return scriptedCell(std::move(value));
}

}  // namespace

Cell nullTextCell() {
    return cellOf(Value::Kind::NullText);
}

Cell integerCell(int64_t value) {
    Value scripted;
    scripted.integer = value;
    return cellOf(Value::Kind::Integer, std::move(scripted));
}

Cell realCell(double value) {
    Value scripted;
    scripted.real = value;
    return cellOf(Value::Kind::Real, std::move(scripted));
}

Cell bytesCell(std::vector<BYTE> value) {
    Value scripted;
    scripted.bytes = std::move(value);
    return cellOf(Value::Kind::Bytes, std::move(scripted));
}

Cell chapterCell(HCHAPTER value) {
    Value scripted;
    scripted.chapter = value;
    return cellOf(Value::Kind::Chapter, std::move(scripted));
}

Cell objectCell(WString content) {
    Value scripted;
    scripted.text = std::move(content);
    return cellOf(Value::Kind::Object, std::move(scripted));
}

Cell textsCell(std::vector<WString> values) {
    Value scripted;
    scripted.texts = std::move(values);
    return cellOf(Value::Kind::Texts, std::move(scripted));
}

const Value& valueOf(const Cell& cell, Value& holder) {
    const auto* scripted = std::any_cast<std::shared_ptr<const Value>>(&cell.other);
    if (cell.kind == Cell::Kind::Other && scripted != nullptr && *scripted) {
        return **scripted;
    }
    holder = Value{};
    if (cell.kind == Cell::Kind::Text) {
        holder.kind = Value::Kind::Text;
        holder.text = cell.text;
    }
    return holder;
}

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

bool textOf(const Value& cell, WString& text) {
    switch (cell.kind) {
        case Value::Kind::Text:
            text = cell.text;
            return true;
        case Value::Kind::NullText:
            text.clear();
            return true;
        case Value::Kind::Integer: {
            const std::string digits = std::to_string(cell.integer);
            text.assign(digits.begin(), digits.end());
            return true;
        }
        default:
            return false;
    }
}

bool fixedBytes(const Value& cell, DBTYPE type, DBLENGTH size, std::vector<BYTE>& out) {
    out.assign(size, 0);
    auto put = [&](const auto& number) {
        std::memcpy(out.data(), &number, std::min<DBLENGTH>(size, sizeof number));
        return true;
    };
    switch (cell.kind) {
        case Value::Kind::Integer:
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
        case Value::Kind::Real:
            return type == DBTYPE_R4 ? put(float(cell.real)) : put(cell.real);
        case Value::Kind::Bytes:
            if (!cell.bytes.empty()) {
                std::memcpy(out.data(), cell.bytes.data(),
                            std::min<DBLENGTH>(size, cell.bytes.size()));
            }
            return true;
        default:
            return false;
    }
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

#include "value_conversion.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvel::service {

namespace {

std::vector<BYTE> textBytes(const WString& text) {
    std::vector<BYTE> bytes(text.size() * sizeof(WCHAR));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), text.data(), bytes.size());
    }
    return bytes;
}

// The item's own bytes, a pointer's included.
// NOLINTBEGIN(bugprone-sizeof-expression)
template <class T>
DBSTATUS store(const T& item, BYTE* value, DBLENGTH* length) {
    std::memcpy(value, &item, sizeof item);
    *length = sizeof item;
    return DBSTATUS_S_OK;
}
// NOLINTEND(bugprone-sizeof-expression)

// A copy of text in the task allocator, handed over.
LPWSTR taskText(const WString& text, const char* what, ValueOwner& owner) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy != nullptr) {
        owner.handedOver(what);
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    }
    return copy;
}

// A SAFEARRAY of BSTRs, the one kind of array the provider serves.
DBSTATUS convertArray(DBTYPE type, const Value& cell, BYTE* value, DBLENGTH* length,
                      ValueOwner& owner) {
    if ((type & DBTYPE_VECTOR) != 0 || cell.kind != Value::Kind::Texts ||
        DBTYPE(type & ~DBTYPE_ARRAY) != DBTYPE_BSTR) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, ULONG(cell.texts.size()));
    if (array == nullptr) {
        return DBSTATUS_E_CANTCREATE;
    }
    owner.handedOver("SAFEARRAY");
    for (size_t i = 0; i < cell.texts.size(); ++i) {
        BSTR element = SysAllocStringLen(cell.texts[i].data(), UINT(cell.texts[i].size()));
        owner.handedOver("BSTR in a SAFEARRAY");
        static_cast<BSTR*>(array->pvData)[i] = element;
    }
    return store(array, value, length);
}

// A vector of fixed-length elements taken from the cell's bytes.
DBSTATUS convertVector(DBTYPE type, const Value& cell, BYTE* value, DBLENGTH* length,
                       ValueOwner& owner) {
    const DBLENGTH elementSize = fixedSize(DBTYPE(type & ~DBTYPE_VECTOR));
    if (cell.kind != Value::Kind::Bytes || elementSize == 0) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    void* elements = CoTaskMemAlloc(std::max<size_t>(cell.bytes.size(), 1));
    if (elements == nullptr) {
        return DBSTATUS_E_CANTCREATE;
    }
    owner.handedOver("vector elements");
    if (!cell.bytes.empty()) {
        std::memcpy(elements, cell.bytes.data(), cell.bytes.size());
    }
    return store(DBVECTOR{cell.bytes.size() / elementSize, elements}, value, length);
}

// A pointer to the value: memory the consumer frees when it owns it, else the provider's own
// until the row is released.
DBSTATUS convertByReference(const DBBINDING& binding, const Value& cell, BYTE* value,
                            DBLENGTH* length, ValueOwner& owner) {
    const DBTYPE type = DBTYPE(binding.wType & ~DBTYPE_BYREF);
    std::vector<BYTE> bytes;
    WString text;
    if (type == DBTYPE_WSTR || type == DBTYPE_STR) {
        if (!textOf(cell, text)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        const size_t unit = type == DBTYPE_WSTR ? sizeof(WCHAR) : 1;
        bytes.resize((text.size() + 1) * unit);
        if (type == DBTYPE_WSTR) {
            writeWideText(text, bytes.size(), bytes.data(), length);
        } else {
            writeNarrowText(text, bytes.size(), bytes.data(), length);
        }
    } else if (type == DBTYPE_BYTES) {
        bytes = cell.kind == Value::Kind::Bytes
                    ? cell.bytes
                    : (textOf(cell, text) ? textBytes(text) : std::vector<BYTE>{});
        *length = bytes.size();
    } else {
        const DBLENGTH fixed = fixedSize(type);
        if (fixed == 0 || type == DBTYPE_BSTR || type == DBTYPE_VARIANT ||
            type == DBTYPE_PROPVARIANT || type == DBTYPE_IUNKNOWN || type == DBTYPE_IDISPATCH ||
            type == DBTYPE_HCHAPTER || !fixedBytes(cell, type, fixed, bytes)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        *length = fixed;
    }
    BYTE* block = nullptr;
    if (binding.dwMemOwner == DBMEMOWNER_CLIENTOWNED) {
        block = static_cast<BYTE*>(CoTaskMemAlloc(std::max<size_t>(bytes.size(), 1)));
        if (block == nullptr) {
            return DBSTATUS_E_CANTCREATE;
        }
        owner.handedOver("by-reference value");
    } else {
        block = owner.keepForRow(std::max<size_t>(bytes.size(), 1));
    }
    if (!bytes.empty()) {
        std::memcpy(block, bytes.data(), bytes.size());
    }
    std::memcpy(value, &block, sizeof block);
    return DBSTATUS_S_OK;
}

DBSTATUS convertBstr(const Value& cell, BYTE* value, DBLENGTH* length, ValueOwner& owner) {
    WString text;
    if (!textOf(cell, text)) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    BSTR string = nullptr;
    if (cell.kind != Value::Kind::NullText) {
        string = SysAllocStringLen(text.data(), UINT(text.size()));
        owner.handedOver("BSTR");
    }
    return store(string, value, length);
}

DBSTATUS convertVariant(const Value& cell, BYTE* value, DBLENGTH* length, ValueOwner& owner) {
    VARIANT variant{};
    switch (cell.kind) {
        case Value::Kind::Text:
            variant.vt = VT_BSTR;
            variant.bstrVal = SysAllocStringLen(cell.text.data(), UINT(cell.text.size()));
            owner.handedOver("BSTR in a VARIANT");
            break;
        case Value::Kind::NullText:
            variant.vt = VT_BSTR;
            break;
        case Value::Kind::Integer:
            variant.vt = VT_I4;
            variant.lVal = LONG(cell.integer);
            break;
        case Value::Kind::Real:
            variant.vt = VT_R8;
            variant.dblVal = cell.real;
            break;
        case Value::Kind::Object:
            variant.vt = VT_UNKNOWN;
            variant.punkVal = owner.newStream(textBytes(cell.text));
            break;
        default:
            return DBSTATUS_E_CANTCONVERTVALUE;
    }
    return store(variant, value, length);
}

DBSTATUS convertPropVariant(const Value& cell, BYTE* value, DBLENGTH* length, ValueOwner& owner) {
    PROPVARIANT property{};
    if (cell.kind == Value::Kind::Text) {
        property.vt = VT_LPWSTR;
        property.pwszVal = taskText(cell.text, "text in a PROPVARIANT", owner);
    } else if (cell.kind == Value::Kind::Texts) {
        auto* elements = static_cast<LPWSTR*>(
            CoTaskMemAlloc(std::max<size_t>(cell.texts.size(), 1) * sizeof(LPWSTR)));
        if (elements == nullptr) {
            return DBSTATUS_E_CANTCREATE;
        }
        owner.handedOver("vector in a PROPVARIANT");
        for (size_t i = 0; i < cell.texts.size(); ++i) {
            elements[i] = taskText(cell.texts[i], "text in a vector", owner);
        }
        property.vt = VT_VECTOR | VT_LPWSTR;
        property.calpwstr.cElems = ULONG(cell.texts.size());
        property.calpwstr.pElems = elements;
    } else if (cell.kind == Value::Kind::Integer) {
        property.vt = VT_I4;
        property.lVal = LONG(cell.integer);
    } else {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    return store(property, value, length);
}

// A stream over the value, as a provider hands out for a storage object.
DBSTATUS convertObject(const DBOBJECT* object, const Value& cell, BYTE* value, DBLENGTH* length,
                       ValueOwner& owner) {
    std::vector<BYTE> content;
    WString text;
    if (cell.kind == Value::Kind::Bytes) {
        content = cell.bytes;
    } else if (cell.kind == Value::Kind::Object) {
        content = textBytes(cell.text);
    } else if (textOf(cell, text)) {
        content = textBytes(text);
    } else {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    if (object != nullptr && !IsEqualGUID(object->iid, IID_ISequentialStream) &&
        !IsEqualGUID(object->iid, IID_IStream) && !IsEqualGUID(object->iid, IID_IUnknown)) {
        return DBSTATUS_E_CANTCREATE;
    }
    const DBLENGTH size = content.size();
    IUnknown* stream = owner.newStream(std::move(content));
    store(stream, value, length);
    *length = size;
    return DBSTATUS_S_OK;
}

DBSTATUS convertChapter(const Value& cell, BYTE* value, DBLENGTH* length, ValueOwner& owner) {
    if (cell.kind != Value::Kind::Chapter) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    owner.chapterHandedOut(cell.chapter);
    return store(cell.chapter, value, length);
}

DBSTATUS copyBytes(const std::vector<BYTE>& bytes, DBLENGTH maxLength, BYTE* value,
                   DBLENGTH* length) {
    *length = bytes.size();
    const size_t copied = std::min<size_t>(bytes.size(), maxLength);
    if (copied != 0) {
        std::memcpy(value, bytes.data(), copied);
    }
    return copied < bytes.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
}

}  // namespace

DBSTATUS convertValue(const DBBINDING& binding, const DBOBJECT* object, const Value& cell,
                      BYTE* value, DBLENGTH* length, ValueOwner& owner) {
    const DBTYPE type = binding.wType;
    if ((type & DBTYPE_BYREF) != 0) {
        return convertByReference(binding, cell, value, length, owner);
    }
    if ((type & DBTYPE_ARRAY) != 0) {
        return convertArray(type, cell, value, length, owner);
    }
    if ((type & DBTYPE_VECTOR) != 0) {
        return convertVector(type, cell, value, length, owner);
    }
    WString text;
    switch (type) {
        case DBTYPE_WSTR:
            if (cell.kind == Value::Kind::Text) {
                return writeWideText(cell.text, binding.cbMaxLen, value, length);
            }
            if (!textOf(cell, text)) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            return writeWideText(text, binding.cbMaxLen, value, length);
        case DBTYPE_STR:
            if (!textOf(cell, text)) {
                return DBSTATUS_E_CANTCONVERTVALUE;
            }
            return writeNarrowText(text, binding.cbMaxLen, value, length);
        case DBTYPE_BYTES:
            return copyBytes(cell.kind == Value::Kind::Bytes
                                 ? cell.bytes
                                 : (textOf(cell, text) ? textBytes(text) : std::vector<BYTE>{}),
                             binding.cbMaxLen, value, length);
        case DBTYPE_BSTR:
            return convertBstr(cell, value, length, owner);
        case DBTYPE_VARIANT:
            return convertVariant(cell, value, length, owner);
        case DBTYPE_PROPVARIANT:
            return convertPropVariant(cell, value, length, owner);
        case DBTYPE_IUNKNOWN:
        case DBTYPE_IDISPATCH:
            return convertObject(object, cell, value, length, owner);
        case DBTYPE_HCHAPTER:
            return convertChapter(cell, value, length, owner);
        default:
            break;
    }
    const DBLENGTH fixed = fixedSize(type);
    if (fixed != 0) {
        std::vector<BYTE> bytes;
        if (!fixedBytes(cell, type, fixed, bytes)) {
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
        std::memcpy(value, bytes.data(), fixed);
        *length = fixed;
        return DBSTATUS_S_OK;
    }
    if (cell.kind != Value::Kind::Bytes) {
        return DBSTATUS_E_CANTCONVERTVALUE;
    }
    return copyBytes(cell.bytes, binding.cbMaxLen, value, length);
}

}  // namespace tarvel::service

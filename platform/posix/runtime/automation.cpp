// BSTRs, VARIANTs and one-dimensional SAFEARRAYs. BSTRs carry their byte length in the four
// bytes before the text and live in the task allocator, behind an eight-byte header as on
// 64-bit Windows.
#include <cstring>

#include "../oleauto.h"
#include "runtime_state.h"

namespace {

constexpr SIZE_T kBstrHeader = 8;
constexpr USHORT kFeatureBstr = 0x100;
constexpr USHORT kFeatureUnknown = 0x200;
constexpr USHORT kFeatureDispatch = 0x400;
constexpr USHORT kFeatureVariant = 0x800;

ULONG elementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_R4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
            return 4;
        case VT_VARIANT:
            return sizeof(VARIANT);
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        default:
            return 8;
    }
}

USHORT featuresOf(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return kFeatureBstr;
        case VT_UNKNOWN:
            return kFeatureUnknown;
        case VT_DISPATCH:
            return kFeatureDispatch;
        case VT_VARIANT:
            return kFeatureVariant;
        default:
            return 0;
    }
}

}  // namespace

extern "C" TARVEL_RUNTIME_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    BYTE* block = static_cast<BYTE*>(CoTaskMemAlloc(kBstrHeader + (SIZE_T(ui) + 1) * 2));
    if (block == nullptr) {
        return nullptr;
    }
    const uint32_t bytes = ui * 2;
    std::memcpy(block + kBstrHeader - 4, &bytes, 4);
    BSTR text = reinterpret_cast<BSTR>(block + kBstrHeader);
    if (strIn != nullptr) {
        std::memcpy(text, strIn, SIZE_T(ui) * 2);
    } else {
        std::memset(text, 0, SIZE_T(ui) * 2);
    }
    text[ui] = 0;
    return text;
}

extern "C" TARVEL_RUNTIME_API BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr) {
        return nullptr;
    }
    UINT length = 0;
    while (psz[length] != 0) {
        ++length;
    }
    return SysAllocStringLen(psz, length);
}

extern "C" TARVEL_RUNTIME_API UINT SysStringLen(BSTR bstr) {
    if (bstr == nullptr) {
        return 0;
    }
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<BYTE*>(bstr) - 4, 4);
    return bytes / 2;
}

extern "C" TARVEL_RUNTIME_API void SysFreeString(BSTR bstrString) {
    if (bstrString == nullptr) {
        return;
    }
    CoTaskMemFree(reinterpret_cast<BYTE*>(bstrString) - kBstrHeader);
}

extern "C" TARVEL_RUNTIME_API void VariantInit(VARIANTARG* pvarg) {
    if (pvarg != nullptr) {
        std::memset(pvarg, 0, sizeof(*pvarg));
    }
}

extern "C" TARVEL_RUNTIME_API HRESULT VariantClear(VARIANTARG* pvarg) {
    if (pvarg == nullptr) {
        return E_INVALIDARG;
    }
    const VARTYPE vt = pvarg->vt;
    if ((vt & VT_BYREF) == 0) {
        if ((vt & VT_ARRAY) != 0) {
            SafeArrayDestroy(pvarg->parray);
        } else if (vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            if (pvarg->punkVal != nullptr) {
                pvarg->punkVal->Release();
            }
        }
    }
    std::memset(pvarg, 0, sizeof(*pvarg));
    return S_OK;
}

// Frees what a property value owns and leaves it empty. Vectors of strings free each string
// before the element block; other vectors own only their element block.
extern "C" TARVEL_RUNTIME_API HRESULT PropVariantClear(PROPVARIANT* pvar) {
    if (pvar == nullptr) {
        return S_OK;
    }
    const VARTYPE vt = pvar->vt;
    if ((vt & VT_BYREF) != 0) {
        // Points at memory the value does not own.
    } else if ((vt & VT_ARRAY) != 0) {
        SafeArrayDestroy(pvar->parray);
    } else if ((vt & VT_VECTOR) != 0) {
        const VARTYPE element = VARTYPE(vt & ~VT_VECTOR);
        if (element == VT_LPWSTR || element == VT_LPSTR || element == VT_BSTR) {
            for (ULONG i = 0; pvar->calpwstr.pElems != nullptr && i < pvar->calpwstr.cElems; ++i) {
                if (element == VT_BSTR) {
                    SysFreeString(pvar->calpwstr.pElems[i]);
                } else {
                    CoTaskMemFree(pvar->calpwstr.pElems[i]);
                }
            }
        }
        CoTaskMemFree(pvar->calpwstr.pElems);
    } else {
        switch (vt) {
            case VT_BSTR:
                SysFreeString(pvar->bstrVal);
                break;
            case VT_LPSTR:
            case VT_LPWSTR:
            case VT_CLSID:
                CoTaskMemFree(pvar->pwszVal);
                break;
            case VT_BLOB:
                CoTaskMemFree(pvar->blob.pBlobData);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (pvar->punkVal != nullptr) {
                    pvar->punkVal->Release();
                }
                break;
            default:
                break;
        }
    }
    std::memset(pvar, 0, sizeof(*pvar));
    return S_OK;
}

extern "C" TARVEL_RUNTIME_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound,
                                                               ULONG cElements) {
    const ULONG size = elementSize(vt);
    const SIZE_T bytes = sizeof(SAFEARRAY) + SIZE_T(size) * cElements;
    SAFEARRAY* array = static_cast<SAFEARRAY*>(CoTaskMemAlloc(bytes));
    if (array == nullptr) {
        return nullptr;
    }
    std::memset(array, 0, bytes);
    array->cDims = 1;
    array->fFeatures = featuresOf(vt);
    array->cbElements = size;
    array->pvData = reinterpret_cast<BYTE*>(array) + sizeof(SAFEARRAY);
    array->rgsabound[0].cElements = cElements;
    array->rgsabound[0].lLbound = lLbound;
    return array;
}

extern "C" TARVEL_RUNTIME_API HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return S_OK;
    }
    const ULONG count = psa->rgsabound[0].cElements;
    BYTE* data = static_cast<BYTE*>(psa->pvData);
    for (ULONG i = 0; i < count; ++i) {
        void* element = data + SIZE_T(i) * psa->cbElements;
        if ((psa->fFeatures & kFeatureBstr) != 0) {
            SysFreeString(*static_cast<BSTR*>(element));
        } else if ((psa->fFeatures & (kFeatureUnknown | kFeatureDispatch)) != 0) {
            if (IUnknown* object = *static_cast<IUnknown**>(element)) {
                object->Release();
            }
        } else if ((psa->fFeatures & kFeatureVariant) != 0) {
            VariantClear(static_cast<VARIANT*>(element));
        }
    }
    CoTaskMemFree(psa);
    return S_OK;
}

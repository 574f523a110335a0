// The OLE DB data-initialization service: reads "Provider" from an initialization string,
// creates that provider's data source and hands it the string's other properties, as oledb32
// does on Windows. Only "Extended Properties" (DBPROP_INIT_PROVIDERSTRING) is understood.
#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "../msdasc.h"
#include "runtime_state.h"

namespace {

char16_t lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool keyIs(const std::u16string& key, const char16_t* name) {
    size_t i = 0;
    for (; i < key.size(); ++i) {
        if (name[i] == 0 || lower(key[i]) != lower(name[i])) {
            return false;
        }
    }
    return name[i] == 0;
}

std::u16string trimmed(const std::u16string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

struct InitProperties {
    std::u16string provider;
    std::u16string extended;
    bool hasExtended = false;
};

// key=value pairs separated by ';'; a value may be quoted with " or '.
bool parse(LPCOLESTR text, InitProperties& out) {
    std::u16string source(text);
    size_t pos = 0;
    while (pos < source.size()) {
        const size_t equals = source.find(u'=', pos);
        if (equals == std::u16string::npos) {
            return trimmed(source.substr(pos)).empty();
        }
        const std::u16string key = trimmed(source.substr(pos, equals - pos));
        size_t valueStart = equals + 1;
        while (valueStart < source.size() && source[valueStart] == u' ') {
            ++valueStart;
        }
        std::u16string value;
        size_t next;
        if (valueStart < source.size() &&
            (source[valueStart] == u'"' || source[valueStart] == u'\'')) {
            const char16_t quote = source[valueStart];
            const size_t close = source.find(quote, valueStart + 1);
            if (close == std::u16string::npos) {
                return false;
            }
            value = source.substr(valueStart + 1, close - valueStart - 1);
            next = source.find(u';', close);
        } else {
            next = source.find(u';', valueStart);
            value = trimmed(source.substr(valueStart, next == std::u16string::npos
                                                          ? std::u16string::npos
                                                          : next - valueStart));
        }
        if (keyIs(key, u"provider")) {
            out.provider = value;
        } else if (keyIs(key, u"extended properties")) {
            out.extended = value;
            out.hasExtended = true;
        }
        if (next == std::u16string::npos) {
            break;
        }
        pos = next + 1;
    }
    return !out.provider.empty();
}

HRESULT setProviderString(IUnknown* dataSource, const std::u16string& text) {
    IDBProperties* properties = nullptr;
    HRESULT hr =
        dataSource->QueryInterface(IID_IDBProperties, reinterpret_cast<void**>(&properties));
    if (FAILED(hr)) {
        return hr;
    }
    DBPROP property{};
    property.dwPropertyID = DBPROP_INIT_PROVIDERSTRING;
    property.dwOptions = DBPROPOPTIONS_REQUIRED;
    property.vValue.vt = VT_BSTR;
    property.vValue.bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
    DBPROPSET set{};
    set.rgProperties = &property;
    set.cProperties = 1;
    set.guidPropertySet = DBPROPSET_DBINIT;
    hr = property.vValue.bstrVal != nullptr ? properties->SetProperties(1, &set) : E_OUTOFMEMORY;
    VariantClear(&property.vValue);
    properties->Release();
    return hr;
}

// Deleted only by its own Release.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class DataInitialize final : public IDataInitialize {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDataInitialize)) {
            *ppv = static_cast<IDataInitialize*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                            LPCOLESTR pwszInitializationString, REFIID riid,
                                            IUnknown** ppDataSource) override {
        if (ppDataSource == nullptr) {
            return E_INVALIDARG;
        }
        if (*ppDataSource != nullptr) {
            return E_NOTIMPL;  // Applying a string to an existing data source is not offered.
        }
        InitProperties parsed;
        if (pwszInitializationString == nullptr || !parse(pwszInitializationString, parsed)) {
            return E_FAIL;
        }
        CLSID provider{};
        HRESULT hr = CLSIDFromProgID(parsed.provider.c_str(), &provider);
        if (FAILED(hr)) {
            return hr;
        }
        IUnknown* dataSource = nullptr;
        hr = CoCreateInstance(provider, pUnkOuter, dwClsCtx, IID_IDBInitialize,
                              reinterpret_cast<void**>(&dataSource));
        if (FAILED(hr)) {
            return hr;
        }
        if (parsed.hasExtended) {
            hr = setProviderString(dataSource, parsed.extended);
        }
        if (FAILED(hr)) {
            dataSource->Release();
            return hr;
        }
        // The data source made for IDBInitialize is handed over as it is.
        if (IsEqualGUID(riid, IID_IDBInitialize)) {
            *ppDataSource = dataSource;
            return hr;
        }
        hr = dataSource->QueryInterface(riid, reinterpret_cast<void**>(ppDataSource));
        dataSource->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetInitializationString(IUnknown*, boolean, LPOLESTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateDBInstance(REFCLSID clsidProvider, IUnknown* pUnkOuter,
                                               DWORD dwClsCtx, LPOLESTR, REFIID riid,
                                               IUnknown** ppDataSource) override {
        return CoCreateInstance(clsidProvider, pUnkOuter, dwClsCtx, riid,
                                reinterpret_cast<void**>(ppDataSource));
    }
    HRESULT STDMETHODCALLTYPE CreateDBInstanceEx(REFCLSID, IUnknown*, DWORD, LPOLESTR,
                                                 COSERVERINFO*, ULONG, MULTI_QI*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LoadStringFromStorage(LPCOLESTR, LPOLESTR*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE WriteStringToStorage(LPCOLESTR, LPCOLESTR, DWORD) override {
        return E_NOTIMPL;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace

namespace tarvel::runtime {

HRESULT createDataInitialize(REFIID riid, void** ppv) {
    DataInitialize* service = new (std::nothrow) DataInitialize();
    if (service == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = service->QueryInterface(riid, ppv);
    service->Release();
    return hr;
}

}  // namespace tarvel::runtime

// The records the file manager passes to ModuleEntry. They belong to the host and cross the
// boundary between two separately built programs, so their layout is fixed to the byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

namespace tarvel {

struct HostAppInfo;

// The host's function; the module ignores what it returns.
using HostCallback = int32_t (*)(HostAppInfo* info, uint32_t request, void* data);

// Request code of HostCallback whose data is one NUL-terminated UTF-16 result line.
constexpr uint32_t HostOutputLine = 3076;

// The value the info command reports to the host.
constexpr uint32_t ModuleInfoValue = 1024;

// The host's application record; the module reads only its first field.
struct HostAppInfo {
    HostCallback callback;
};

struct ModuleInfoRequest {
    uint32_t kind;
    uint32_t value;
    WCHAR* text;
};

struct SearchRequest {
    const WCHAR* query;
    uint32_t reserved;
    int32_t maxResults;
};

enum ModuleCommand : uint32_t {
    CommandInfo = 0,
    CommandSearch = 10,
};

// ModuleEntry's type, as a host finds it in the module file.
using ModuleEntryFunction = int32_t (*)(HostAppInfo* info, uint32_t command, void* param);

static_assert(offsetof(HostAppInfo, callback) == 0);
static_assert(sizeof(ModuleInfoRequest) == 16);
static_assert(offsetof(ModuleInfoRequest, kind) == 0);
static_assert(offsetof(ModuleInfoRequest, value) == 4);
static_assert(offsetof(ModuleInfoRequest, text) == 8);
static_assert(sizeof(SearchRequest) == 16);
static_assert(offsetof(SearchRequest, query) == 0);
static_assert(offsetof(SearchRequest, reserved) == 8);
static_assert(offsetof(SearchRequest, maxResults) == 12);

}  // namespace tarvel

extern "C" TARVEL_MODULE_EXPORT int32_t ModuleEntry(tarvel::HostAppInfo* info, uint32_t command,
                                                    void* param);

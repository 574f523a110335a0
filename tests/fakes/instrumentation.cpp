#include "instrumentation.h"

#include "memory_ledger.h"

namespace tarvel::service {

Instrumentation::~Instrumentation() {
    reset();
}

void Instrumentation::reset() {
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) {
        delete *it;
    }
    objects_.clear();
    journal_.clear();
    failed_.clear();
    errors_.clear();
    planned_.clear();
    withheld_.clear();
    plansNameEntries_ = false;
    failAt_ = 0;
    failAtResult_ = S_OK;
    calls_ = 0;
}

std::optional<HRESULT> Instrumentation::calling(const Watchable& object, std::string_view method,
                                                const CallDetail& detail) {
    // A call on an object whose last reference is gone is the caller's fault, however politely
    // an object kept alive for the test could answer it: recorded and refused.
    if (object.watchedReferences() <= 0) {
        errors_.push_back("call on released " + object.watchedName() + ": " + std::string(method));
        return E_UNEXPECTED;
    }
    ++calls_;
    const bool query = method.ends_with("::QueryInterface");
    // The entry is written out only when something reads it.
    std::string entry;
    bool written = false;
    auto write = [&]() -> const std::string& {
        if (!written) {
            entry.assign(method);
            entry += '(';
            entry += detail();
            entry += ')';
            written = true;
        }
        return entry;
    };
    if (query && !withheld_.empty()) {
        if (withheld_.count(detail()) != 0) {
            if (journaling_) {
                journal_.push_back(write());
            }
            return E_NOINTERFACE;
        }
    }
    std::optional<HRESULT> failure;
    if (failAt_ != 0 && calls_ == failAt_) {
        failure = failAtResult_;
    }
    for (PlannedFailure& plan : planned_) {
        if (plan.pattern == method || (plansNameEntries_ && plan.pattern == write())) {
            if (++plan.seen == plan.occurrence && !failure) {
                failure = plan.hr;
            }
        }
    }
    if (failure) {
        write();
        entry += " -> " + hresultText(*failure);
        failed_.push_back(entry);
    }
    if (journaling_) {
        write();
        journal_.push_back(std::move(entry));
    }
    return failure;
}

bool Instrumentation::addingReference(const Watchable& object, const char* via) {
    if (object.watchedReferences() <= 0) {
        errors_.push_back("call on released " + object.watchedName() + ": " + via + "::AddRef");
        return false;
    }
    return true;
}

void Instrumentation::releasing(const Watchable& object, const char* via) {
    if (journaling_) {
        journal_.push_back(std::string(via) + "::Release");
    }
    if (object.watchedReferences() <= 0) {
        errors_.push_back("over-release of " + object.watchedName());
    }
}

HRESULT Instrumentation::unexpected(std::string_view method) {
    std::string entry(method);
    journal_.push_back(entry + "()");
    errors_.push_back("unexpected call " + entry);
    return E_NOTIMPL;
}

void Instrumentation::handedOver(std::string what) {
    if (MemoryLedger* ledger = MemoryLedger::active()) {
        ledger->recordLastAllocation(std::move(what));
    }
}

void Instrumentation::handedOver(const void* block, std::string what) {
    if (MemoryLedger* ledger = MemoryLedger::active()) {
        ledger->record(block, std::move(what));
    }
}

std::vector<std::string> Instrumentation::journalMatching(std::string_view fragment) const {
    std::vector<std::string> matching;
    for (const std::string& entry : journal_) {
        if (entry.find(fragment) != std::string::npos) {
            matching.push_back(entry);
        }
    }
    return matching;
}

void Instrumentation::failCall(std::string pattern, HRESULT hr, int occurrence) {
    plansNameEntries_ = plansNameEntries_ || pattern.find('(') != std::string::npos;
    planned_.push_back(PlannedFailure{std::move(pattern), hr, occurrence});
}

void Instrumentation::failNth(long n, HRESULT hr) {
    failAt_ = n;
    failAtResult_ = hr;
}

long Instrumentation::referencesOf(std::string_view name) const {
    long references = 0;
    for (const Watchable* object : objects_) {
        if (object->watchedName() == name) {
            references += object->watchedReferences();
        }
    }
    return references;
}

std::vector<std::string> Instrumentation::liveObjects() const {
    std::vector<std::string> live;
    for (const Watchable* object : objects_) {
        if (object->watchedReferences() != 0) {
            live.push_back(object->watchedName() + ": " +
                           std::to_string(object->watchedReferences()));
        }
    }
    return live;
}

}  // namespace tarvel::service

// What tests see of the stand-in objects they watch: a journal of the calls made on them, a plan
// of calls that are to fail, interfaces to deny, a check that every object's references came
// back to zero, and faults: calls on released objects, calls no scenario expects, broken rules.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "call_text.h"
#include "com_object.h"

namespace tarvel::service {

// A watched object as the instrumentation keeps it: its name and its references.
class Watchable {
public:
    Watchable() = default;
    Watchable(const Watchable&) = delete;
    Watchable& operator=(const Watchable&) = delete;
    virtual ~Watchable() = default;

    virtual const std::string& watchedName() const = 0;
    virtual long watchedReferences() const = 0;
};

// The detail of a call, as "IAccessor" in "IRowset::QueryInterface(IAccessor)", made only when
// asked for: most calls need none.
class CallDetail {
public:
    CallDetail() = default;
    template <class Make>
    explicit CallDetail(const Make& make)
        : context_(&make),
          make_([](const void* context) { return (*static_cast<const Make*>(context))(); }) {}

    std::string operator()() const { return make_ != nullptr ? make_(context_) : std::string(); }

private:
    const void* context_ = nullptr;
    std::string (*make_)(const void*) = nullptr;
};

class Instrumentation final {
public:
    Instrumentation() = default;
    Instrumentation(const Instrumentation&) = delete;
    Instrumentation& operator=(const Instrumentation&) = delete;
    ~Instrumentation();

    // A call about to be served as "method(detail)"; an HRESULT returned is answered instead.
    std::optional<HRESULT> calling(const Watchable& object, std::string_view method,
                                   const CallDetail& detail);
    // AddRef and Release through an interface; false refuses the AddRef.
    bool addingReference(const Watchable& object, const char* via);
    void releasing(const Watchable& object, const char* via);
    // A call no scenario expects, or a method the stand-in does not serve; answered with what
    // is returned.
    HRESULT unexpected(std::string_view method);
    // A rule of the provider's that a caller broke.
    void fault(std::string message) { errors_.push_back(std::move(message)); }
    // A new object, kept until the instrumentation resets, so that its counts can be read and a
    // call after its last reference went is seen.
    void adopt(Watchable* object) { objects_.push_back(object); }
    // The task-allocator block most recently allocated, or block, is handed over, described
    // by what.
    void handedOver(std::string what);
    void handedOver(const void* block, std::string what);

    // Journals an entry that is no call, such as a free seen by the memory ledger.
    void note(std::string entry) { journal_.push_back(std::move(entry)); }

    const std::vector<std::string>& journal() const { return journal_; }
    // Without a journal, calls cost what the fuzzer can afford: only failed calls are kept.
    void keepJournal(bool keep) { journaling_ = keep; }
    // The calls that were made to fail, as "method(detail) -> code".
    const std::vector<std::string>& failedCalls() const { return failed_; }
    // Back to a new instrumentation's state: every object it kept is deleted.
    void reset();
    std::vector<std::string> journalMatching(std::string_view fragment) const;
    void clearJournal() { journal_.clear(); }
    const std::vector<std::string>& errors() const { return errors_; }

    // The occurrence-th call (counted from 1) whose method name or whole entry equals pattern
    // fails with hr.
    void failCall(std::string pattern, HRESULT hr, int occurrence = 1);
    // The n-th call (counted from 1) fails with hr.
    void failNth(long n, HRESULT hr);
    long callCount() const { return calls_; }
    // Every object denies the interface, as a provider that does not offer it.
    void withhold(REFIID riid) { withheld_.insert(interfaceName(riid)); }

    const std::vector<Watchable*>& objects() const { return objects_; }
    // Objects whose reference count is not zero, as "name: count".
    std::vector<std::string> liveObjects() const;
    // The references held on objects named name ("IDBInitialize", "IRowset", ...), all together.
    long referencesOf(std::string_view name) const;

private:
    struct PlannedFailure {
        std::string pattern;
        HRESULT hr;
        int occurrence;
        int seen = 0;
    };

    std::vector<std::string> journal_;
    std::vector<std::string> failed_;
    bool journaling_ = true;
    // Whether some plan names a whole entry, detail included, rather than a method.
    bool plansNameEntries_ = false;
    std::vector<std::string> errors_;
    std::vector<PlannedFailure> planned_;
    std::set<std::string> withheld_;
    long failAt_ = 0;
    HRESULT failAtResult_ = S_OK;
    long calls_ = 0;
    std::vector<Watchable*> objects_;
};

}  // namespace tarvel::service

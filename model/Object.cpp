#include "model/Object.h"

#include "model/Alert.h"
#include "model/Archive.h"
#include "model/DateTime.h"
#include "model/Fields.h"
#include "model/Watch.h"

#include <variant>

namespace sentrel {

namespace {

// The archive's side of the field list: each field read or written in its turn.
class ArchiveFields : public IFieldVisitor {
public:
    explicit ArchiveFields(CArchive& ar) : m_ar(ar) {}

    void String(const char*, std::string& value) override { m_ar.Serialize(value); }
    void Int(const char*, std::int32_t& value) override { m_ar.Serialize(value); }
    void UInt(const char*, std::uint32_t& value) override { m_ar.Serialize(value); }
    void Bool(const char*, bool& value) override { m_ar.Serialize(value); }
    void DateTime(const char*, CDateTime& value) override { m_ar.Serialize(value); }
    void TimeStamp(const char*, std::int64_t& value) override { m_ar.SerializeTimeStamp(value); }
    void Alerts(const char*, std::vector<CAlert*>& list) override {
        m_ar.SerializeReferences(list);
    }
    void Watches(const char*, std::vector<CWatch*>& list) override {
        m_ar.SerializeReferences(list);
    }

private:
    CArchive& m_ar;
};

// A record's fields taken in their turn, then given in the same turn to another record of
// the same class.
using FieldValue = std::variant<std::string, std::int32_t, std::uint32_t, bool, CDateTime,
                                std::int64_t, std::vector<CAlert*>, std::vector<CWatch*>>;

class TakeFields : public IFieldVisitor {
public:
    void String(const char*, std::string& value) override { values.emplace_back(value); }
    void Int(const char*, std::int32_t& value) override { values.emplace_back(value); }
    void UInt(const char*, std::uint32_t& value) override { values.emplace_back(value); }
    void Bool(const char*, bool& value) override { values.emplace_back(value); }
    void DateTime(const char*, CDateTime& value) override { values.emplace_back(value); }
    void TimeStamp(const char*, std::int64_t& value) override { values.emplace_back(value); }
    void Alerts(const char*, std::vector<CAlert*>& list) override { values.emplace_back(list); }
    void Watches(const char*, std::vector<CWatch*>& list) override { values.emplace_back(list); }

    std::vector<FieldValue> values;
};

class GiveFields : public IFieldVisitor {
public:
    explicit GiveFields(std::vector<FieldValue>& values) : m_values(values) {}

    void String(const char*, std::string& value) override { Give(value); }
    void Int(const char*, std::int32_t& value) override { Give(value); }
    void UInt(const char*, std::uint32_t& value) override { Give(value); }
    void Bool(const char*, bool& value) override { Give(value); }
    void DateTime(const char*, CDateTime& value) override { Give(value); }
    void TimeStamp(const char*, std::int64_t& value) override { Give(value); }
    void Alerts(const char*, std::vector<CAlert*>& list) override { Give(list); }
    void Watches(const char*, std::vector<CWatch*>& list) override { Give(list); }

private:
    template <class T> void Give(T& value) {
        value = std::move(std::get<T>(m_values.at(m_next++)));
    }

    std::vector<FieldValue>& m_values;
    std::size_t m_next = 0;
};

} // namespace

const RecordClass CObject::classInfo{"CObject", 0, nullptr, nullptr};

void CObject::VisitFields(IFieldVisitor&) {}

void CObject::Serialize(CArchive& ar) {
    ArchiveFields fields(ar);
    VisitFields(fields);
}

std::unique_ptr<CObject> CObject::Clone() const {
    const auto create = GetRuntimeClass().create;
    if (!create) {
        return nullptr;
    }
    std::unique_ptr<CObject> copy = create();
    copy->CopyFieldsFrom(*this);
    return copy;
}

void CObject::CopyFieldsFrom(const CObject& from) {
    // Only read: the field list hands out references for readers and writers alike.
    TakeFields taken;
    const_cast<CObject&>(from).VisitFields(taken);
    GiveFields given(taken.values);
    VisitFields(given);
}

bool CObject::IsKindOf(const RecordClass& cls) const {
    for (const RecordClass* c = &GetRuntimeClass(); c; c = c->base) {
        if (c == &cls) {
            return true;
        }
    }
    return false;
}

} // namespace sentrel

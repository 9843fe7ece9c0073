#include "model/Object.h"

#include "model/Alert.h"
#include "model/Archive.h"
#include "model/Fields.h"
#include "model/Watch.h"

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

} // namespace

const RecordClass CObject::classInfo{"CObject", 0, nullptr, nullptr};

void CObject::VisitFields(IFieldVisitor&) {}

void CObject::Serialize(CArchive& ar) {
    ArchiveFields fields(ar);
    VisitFields(fields);
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

#include "model/Archive.h"

#include "model/TypeRegistry.h"
#include "platform/Memory.h"
#include "platform/Text.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace sentrel {

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTagBit = 0x8000;
constexpr std::uint16_t kBigTag = 0x7FFF;
constexpr std::uint32_t kBigClassBit = 0x80000000u;
constexpr std::uint16_t kWideMark = 0xFFFE;
constexpr std::size_t kMaxClassNameLength = 64;

// UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char* data, std::size_t units) {
    std::string out;
    out.reserve(units);
    auto unit = [data](std::size_t i) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(data[2 * i]) |
                                          (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// The store is little-endian, as are the machines we build for.
static_assert(std::endian::native == std::endian::little);

template <class T> T LoadLittleEndian(const char* p) {
    T value{};
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <class T> void AppendLittleEndian(std::string& out, T value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

} // namespace

CArchiveException::CArchiveException(Cause cause, std::uint64_t offset, std::string detail)
    : std::runtime_error(detail), m_cause(cause), m_offset(offset), m_detail(std::move(detail)) {}

CArchive::CArchive(std::string_view data)
    : m_loading(true), m_next(data.data()), m_end(data.data() + data.size()) {
    m_loadTable.emplace_back(); // number 0: null
}

CArchive::CArchive(Source source, std::uint64_t expectedSize)
    : m_loading(true), m_source(std::move(source)), m_expectedSize(expectedSize),
      m_buffer(std::make_unique_for_overwrite<char[]>(kBufferSize)) {
    m_next = m_end = m_buffer.get();
    m_loadTable.emplace_back(); // number 0: null
}

CArchive::CArchive() : m_loading(false) {}

CArchive::CArchive(Sink sink) : m_loading(false), m_sink(std::move(sink)) {
    m_out.reserve(kBufferSize + 64);
}

void CArchive::Flush() {
    if (m_sink && !m_out.empty()) {
        m_sink(m_out);
        m_flushed += m_out.size();
        m_out.clear();
    }
}

CArchive::~CArchive() = default;

void CArchive::Fail(CArchiveException::Cause cause, std::uint64_t offset,
                    std::string detail) const {
    throw CArchiveException(cause, offset, std::move(detail));
}

std::size_t CArchive::FromSource(char* into, std::size_t max) {
    if (!m_source) {
        return 0;
    }
    const std::size_t got = m_source(into, max);
    if (got == 0) {
        m_source = nullptr; // the end stays the end
    }
    return std::min(got, max);
}

bool CArchive::Fill(std::size_t n) {
    std::size_t have = static_cast<std::size_t>(m_end - m_next);
    if (!m_buffer) {
        return have >= n; // the caller's data is all there is
    }
    std::memmove(m_buffer.get(), m_next, have);
    m_next = m_buffer.get();
    m_end = m_next + have;
    while (have < n) {
        const std::size_t got = FromSource(m_buffer.get() + have, kBufferSize - have);
        if (got == 0) {
            return false;
        }
        have += got;
        m_end += got;
    }
    return true;
}

void CArchive::FailAtEnd(std::size_t n) const {
    Fail(CArchiveException::Cause::EndOfFile, m_offset,
         "the file ends where " + std::to_string(n) + " more bytes were expected");
}

void CArchive::ReadBytes(std::string& out, std::uint64_t count, std::uint64_t start,
                         std::uint64_t characters) {
    const auto runsOut = [&] {
        Fail(CArchiveException::Cause::EndOfFile, start,
             "a string of " + std::to_string(characters) +
                 " characters runs past the end of the file");
    };
    const auto take = [&](std::size_t n) {
        out.append(m_next, n);
        m_next += n;
        m_offset += n;
    };
    const std::size_t have = static_cast<std::size_t>(m_end - m_next);
    out.clear();
    if (count <= have) {
        take(static_cast<std::size_t>(count));
        return;
    }
    if (!m_source) {
        runsOut(); // every byte there is is at hand: nothing is reserved for more
    }
    // Memory at once for as much as the source announced; past that, only for what has
    // arrived. A long text (a stored web page) is copied in as it arrives, never first
    // filled with zeros, into memory whose pages were asked for in one go.
    const std::uint64_t announced = m_expectedSize > m_offset ? m_expectedSize - m_offset : 0;
    const auto reserve = [&](std::uint64_t size) {
        const std::size_t old = out.size();
        out.reserve(static_cast<std::size_t>(size));
        PrepareForWriting(out.data() + old, out.capacity() - old);
    };
    reserve(std::min(count, std::max<std::uint64_t>(announced, have)));
    take(have);
    while (out.size() < count) {
        if (m_next == m_end && !Fill(1)) {
            runsOut();
        }
        if (out.capacity() == out.size()) {
            reserve(std::min<std::uint64_t>(count, 2 * out.size() + kBufferSize));
        }
        take(static_cast<std::size_t>(std::min<std::uint64_t>(
            count - out.size(), static_cast<std::uint64_t>(m_end - m_next))));
    }
}

std::uint8_t CArchive::ReadByte() {
    return static_cast<std::uint8_t>(*Need(1));
}

std::uint16_t CArchive::ReadWord() {
    return LoadLittleEndian<std::uint16_t>(Need(2));
}

std::int32_t CArchive::ReadInt() {
    return LoadLittleEndian<std::int32_t>(Need(4));
}

double CArchive::ReadDouble() {
    return LoadLittleEndian<double>(Need(8));
}

std::string CArchive::ReadString() {
    const std::uint64_t start = m_offset;
    bool wide = false;
    std::uint64_t n = ReadByte();
    if (n == 0xFF) {
        std::uint32_t w = ReadWord();
        if (w == kWideMark) {
            wide = true;
            n = ReadByte();
            if (n == 0xFF) {
                w = ReadWord();
            }
        }
        if (n == 0xFF) {
            if (w < 0xFFFF) {
                n = w;
            } else {
                const std::uint32_t d = ReadUInt();
                if (d < 0xFFFFFFFFu) {
                    n = d;
                } else {
                    const char* q = Need(8);
                    n = LoadLittleEndian<std::uint64_t>(q);
                    if (n > 0x7FFFFFFFu) {
                        Fail(CArchiveException::Cause::BadLength, start,
                             "a string of " + std::to_string(n) + " characters");
                    }
                }
            }
        }
    }
    std::string text;
    ReadBytes(text, wide ? 2 * n : n, start, n);
    if (wide) {
        return Utf16ToUtf8(text.data(), static_cast<std::size_t>(n));
    }
    return text;
}

CDateTime CArchive::ReadDateTime() {
    const std::int32_t status = ReadInt();
    const double day = ReadDouble();
    return CDateTime(static_cast<CDateTime::Status>(status), day);
}

std::int64_t CArchive::ReadTimeStamp() {
    return static_cast<std::int64_t>(ReadInt());
}

std::uint32_t CArchive::ReadCount() {
    const std::uint16_t w = ReadWord();
    if (w != 0xFFFF) {
        return w;
    }
    return ReadUInt();
}

namespace {

bool DerivesFrom(const RecordClass* cls, const RecordClass& kind) {
    for (; cls; cls = cls->base) {
        if (cls == &kind) {
            return true;
        }
    }
    return false;
}

} // namespace

CObject* CArchive::ReadObject(const RecordClass* kind) {
    const std::uint64_t start = m_offset;
    const std::uint16_t tag = ReadWord();
    std::uint32_t classNumber = 0;
    std::uint32_t recordNumber = 0;
    bool isClassReference = false;
    const RecordClass* cls = nullptr;

    if (tag == kBigTag) {
        const std::uint32_t v = ReadUInt();
        isClassReference = (v & kBigClassBit) != 0;
        (isClassReference ? classNumber : recordNumber) = v & ~kBigClassBit;
    } else if (tag == kNewClassTag) {
        const std::uint16_t schema = ReadWord();
        const std::uint16_t length = ReadWord();
        if (length >= kMaxClassNameLength) {
            Fail(CArchiveException::Cause::BadLength, start,
                 "a class name of " + std::to_string(length) + " characters");
        }
        const std::string name(Need(length), length);
        cls = TypeRegistry::Instance().Find(name);
        if (!cls || !cls->create) {
            Fail(CArchiveException::Cause::BadClass, start, "unknown class name \"" + name + "\"");
        }
        if (schema != cls->schema) {
            Fail(CArchiveException::Cause::BadSchema, start,
                 "class " + name + " with schema " + std::to_string(schema));
        }
        m_loadTable.push_back(Entry{cls, nullptr});
    } else if (tag & kClassTagBit) {
        isClassReference = true;
        classNumber = tag & ~kClassTagBit;
    } else if (tag == 0) {
        return nullptr;
    } else {
        recordNumber = tag;
    }

    if (!cls && !isClassReference) {
        // A back reference.
        if (recordNumber == 0 || recordNumber >= m_loadTable.size() ||
            !m_loadTable[recordNumber].object) {
            Fail(CArchiveException::Cause::BadIndex, start,
                 "record number " + std::to_string(recordNumber) + " is not a record read before");
        }
        CObject* object = m_loadTable[recordNumber].object;
        if (kind && !object->IsKindOf(*kind)) {
            Fail(CArchiveException::Cause::WrongKind, start,
                 std::string(object->GetRuntimeClass().name) + " where a " + kind->name +
                     " belongs");
        }
        return object;
    }
    if (!cls) {
        if (classNumber == 0 || classNumber >= m_loadTable.size() ||
            !m_loadTable[classNumber].cls) {
            Fail(CArchiveException::Cause::BadIndex, start,
                 "class number " + std::to_string(classNumber) + " is not a class read before");
        }
        cls = m_loadTable[classNumber].cls;
    }
    if (kind && !DerivesFrom(cls, *kind)) {
        Fail(CArchiveException::Cause::WrongKind, start,
             std::string(cls->name) + " where a " + kind->name + " belongs");
    }

    const std::size_t index = m_created.size();
    m_created.push_back(Created{cls->create(), false});
    CObject* object = m_created.back().object.get();
    m_createdIndex.emplace(object, index);
    m_loadTable.push_back(Entry{nullptr, object});
    object->Serialize(*this);
    m_created[index].complete = true;
    return object;
}

std::unique_ptr<CObject> CArchive::Claim(CObject* object) {
    const auto it = m_createdIndex.find(object);
    if (it == m_createdIndex.end()) {
        return nullptr;
    }
    return std::move(m_created[it->second].object);
}

std::vector<std::unique_ptr<CObject>> CArchive::TakeUnclaimed() {
    std::vector<std::unique_ptr<CObject>> rest;
    for (auto& created : m_created) {
        if (created.object && created.complete) {
            rest.push_back(std::move(created.object));
        }
    }
    m_created.clear();
    m_createdIndex.clear();
    return rest;
}

void CArchive::WriteByte(std::uint8_t value) {
    m_out += static_cast<char>(value);
    FlushIfFull();
}

void CArchive::WriteWord(std::uint16_t value) {
    AppendLittleEndian(m_out, value);
    FlushIfFull();
}

void CArchive::WriteInt(std::int32_t value) {
    AppendLittleEndian(m_out, value);
    FlushIfFull();
}

void CArchive::WriteDouble(double value) {
    AppendLittleEndian(m_out, value);
    FlushIfFull();
}

void CArchive::WriteString(std::string_view value) {
    const std::size_t n = value.size();
    if (n > 0xFFFFFFFEu) {
        Fail(CArchiveException::Cause::BadLength, Offset(),
             "a string of " + std::to_string(n) + " bytes is too long to store");
    }
    if (n < 0xFF) {
        WriteByte(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<std::uint16_t>(n));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteUInt(static_cast<std::uint32_t>(n));
    }
    if (m_sink && n >= kBufferSize) {
        // A long text (a stored web page) goes to the sink as it is, without a copy.
        Flush();
        m_sink(value);
        m_flushed += n;
        return;
    }
    m_out.append(value.data(), n);
    FlushIfFull();
}

void CArchive::WriteDateTime(const CDateTime& value) {
    WriteInt(value.GetStatus());
    WriteDouble(value.GetDayNumber());
}

void CArchive::WriteTimeStamp(std::int64_t value) {
    if (value >= (std::int64_t{1} << 32)) {
        Fail(CArchiveException::Cause::BadTimeStamp, Offset(),
             "the time stamp " + std::to_string(value) + " does not fit in four bytes");
    }
    WriteUInt(static_cast<std::uint32_t>(value));
}

void CArchive::WriteCount(std::uint32_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<std::uint16_t>(count));
    } else {
        WriteWord(0xFFFF);
        WriteUInt(count);
    }
}

void CArchive::WriteObject(const CObject* object) {
    if (!object) {
        WriteWord(0);
        return;
    }
    if (const auto it = m_objectNumbers.find(object); it != m_objectNumbers.end()) {
        if (it->second <= 0x7FFE) {
            WriteWord(static_cast<std::uint16_t>(it->second));
        } else {
            WriteWord(kBigTag);
            WriteUInt(it->second);
        }
        return;
    }
    const RecordClass& cls = object->GetRuntimeClass();
    if (!TypeRegistry::Instance().IsRegistered(cls)) {
        Fail(CArchiveException::Cause::NotArchivable, Offset(),
             std::string("class ") + cls.name + " cannot be stored");
    }
    if (const auto it = m_classNumbers.find(&cls); it != m_classNumbers.end()) {
        if (it->second <= 0x7FFE) {
            WriteWord(static_cast<std::uint16_t>(kClassTagBit | it->second));
        } else {
            WriteWord(kBigTag);
            WriteUInt(kBigClassBit | it->second);
        }
    } else {
        const std::size_t length = std::strlen(cls.name);
        WriteWord(kNewClassTag);
        WriteWord(cls.schema);
        WriteWord(static_cast<std::uint16_t>(length));
        m_out.append(cls.name, length);
        FlushIfFull();
        m_classNumbers.emplace(&cls, m_nextNumber++);
    }
    m_objectNumbers.emplace(object, m_nextNumber++);
    const_cast<CObject*>(object)->Serialize(*this);
}

void CArchive::Serialize(std::string& value) {
    if (m_loading) {
        value = ReadString();
    } else {
        WriteString(value);
    }
}

void CArchive::Serialize(bool& value) {
    if (m_loading) {
        value = ReadBool();
    } else {
        WriteBool(value);
    }
}

void CArchive::Serialize(std::int32_t& value) {
    if (m_loading) {
        value = ReadInt();
    } else {
        WriteInt(value);
    }
}

void CArchive::Serialize(std::uint32_t& value) {
    if (m_loading) {
        value = ReadUInt();
    } else {
        WriteUInt(value);
    }
}

void CArchive::Serialize(CDateTime& value) {
    if (m_loading) {
        value = ReadDateTime();
    } else {
        WriteDateTime(value);
    }
}

void CArchive::SerializeTimeStamp(std::int64_t& value) {
    if (m_loading) {
        value = ReadTimeStamp();
    } else {
        WriteTimeStamp(value);
    }
}

std::string DescribeArchiveError(const CArchiveException& error) {
    std::string what;
    switch (error.GetCause()) {
    case CArchiveException::Cause::EndOfFile:
        what = "unexpected end of file";
        break;
    case CArchiveException::Cause::BadLength:
        what = "impossible length";
        break;
    case CArchiveException::Cause::BadIndex:
        what = "bad record or class number";
        break;
    case CArchiveException::Cause::BadSchema:
        what = "unsupported class version";
        break;
    case CArchiveException::Cause::BadClass:
        what = "unknown record class";
        break;
    case CArchiveException::Cause::WrongKind:
        what = "record of the wrong kind";
        break;
    case CArchiveException::Cause::BadTimeStamp:
        what = "time stamp out of range";
        break;
    case CArchiveException::Cause::NotArchivable:
        what = "record that cannot be stored";
        break;
    }
    return what + " (" + error.GetDetail() + ")";
}

} // namespace sentrel

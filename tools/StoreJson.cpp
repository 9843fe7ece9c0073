#include "tools/StoreJson.h"

#include "model/DateTime.h"
#include "model/Fields.h"
#include "model/SentrelDoc.h"
#include "model/TypeRegistry.h"
#include "platform/Text.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace sentrel::tools {

namespace {

std::string Indexed(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

std::string Member(const std::string& path, std::string_view name) {
    return path.empty() ? std::string(name) : path + "." + std::string(name);
}

// ---------------------------------------------------------------------------------------
// Writing

Json DayToJson(double day) {
    if (std::isfinite(day)) {
        return day;
    }
    char bits[24];
    std::snprintf(bits, sizeof bits, "0x%016" PRIX64, std::bit_cast<std::uint64_t>(day));
    return bits;
}

class Dumper {
public:
    explicit Dumper(const CSentrelDoc& doc) {
        for (std::size_t i = 0; i < doc.alerts.size(); ++i) {
            m_listed.emplace(doc.alerts[i].get(), i);
        }
        for (std::size_t i = 0; i < doc.watches.size(); ++i) {
            m_listed.emplace(doc.watches[i].get(), i);
        }
    }

    Json Record(const CObject& record, const std::string& path);

    template <class T> Json References(const std::vector<T*>& list, const std::string& path) {
        Json out = Json::array();
        for (std::size_t k = 0; k < list.size(); ++k) {
            const T* record = list[k];
            if (const auto it = m_listed.find(record); it != m_listed.end()) {
                out.push_back(it->second);
            } else if (const auto shown = m_shown.find(record); shown != m_shown.end()) {
                out.push_back(shown->second);
            } else {
                m_shown.emplace(record, Indexed(path, k));
                out.push_back(Record(*record, Indexed(path, k)));
            }
        }
        return out;
    }

private:
    std::unordered_map<const CObject*, std::size_t> m_listed;
    // Records held only inside activations, by where they were written in full.
    std::unordered_map<const CObject*, std::string> m_shown;
};

class JsonWriter : public IFieldVisitor {
public:
    JsonWriter(Dumper& dumper, Json& out, const std::string& path)
        : m_dumper(dumper), m_out(out), m_path(path) {}

    void String(const char* name, std::string& value) override { m_out[name] = value; }
    void Int(const char* name, std::int32_t& value) override { m_out[name] = value; }
    void UInt(const char* name, std::uint32_t& value) override { m_out[name] = value; }
    void Bool(const char* name, bool& value) override { m_out[name] = value; }
    void DateTime(const char* name, CDateTime& value) override {
        m_out[name] = Json{{"status", static_cast<std::int32_t>(value.GetStatus())},
                           {"day", DayToJson(value.GetDayNumber())}};
    }
    void TimeStamp(const char* name, std::int64_t& value) override { m_out[name] = value; }
    void Alerts(const char* name, std::vector<CAlert*>& list) override {
        m_out[name] = m_dumper.References(list, Member(m_path, name));
    }
    void Watches(const char* name, std::vector<CWatch*>& list) override {
        m_out[name] = m_dumper.References(list, Member(m_path, name));
    }

private:
    Dumper& m_dumper;
    Json& m_out;
    const std::string& m_path;
};

Json Dumper::Record(const CObject& record, const std::string& path) {
    // The class and the name lead, whatever place the name has among the stored fields.
    Json out{{"class", record.GetRuntimeClass().name}, {"name", ""}};
    JsonWriter writer(*this, out, path);
    // Only read: the visitor takes the fields by reference because the archive fills them.
    const_cast<CObject&>(record).VisitFields(writer);
    return out;
}

template <class T>
Json RecordList(Dumper& dumper, const std::vector<std::unique_ptr<T>>& list, const char* path) {
    Json out = Json::array();
    for (std::size_t i = 0; i < list.size(); ++i) {
        out.push_back(dumper.Record(*list[i], Indexed(path, i)));
    }
    return out;
}

void AppendString(std::string& out, std::string_view bytes) {
    out += '"';
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        const auto byte = static_cast<unsigned char>(bytes[i]);
        char escape[8];
        if (length > 1) {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        ++i;
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (length == 1 && byte >= 0x20) {
                out += static_cast<char>(byte);
            } else {
                // A control character, or a byte that is not UTF-8: its Windows-1252 character.
                std::snprintf(
                    escape, sizeof escape, "\\u%04x",
                    static_cast<unsigned>(length == 1 ? byte : Windows1252CodePoint(byte)));
                out += escape;
            }
        }
    }
    out += '"';
}

void AppendJson(std::string& out, const Json& value, std::size_t depth) {
    const auto newLine = [&out](std::size_t level) {
        out += '\n';
        out.append(2 * level, ' ');
    };
    if (value.is_object() && !value.empty()) {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            out += first ? "" : ",";
            first = false;
            newLine(depth + 1);
            AppendString(out, key);
            out += ": ";
            AppendJson(out, member, depth + 1);
        }
        newLine(depth);
        out += '}';
    } else if (value.is_array() && !value.empty()) {
        out += '[';
        for (std::size_t i = 0; i < value.size(); ++i) {
            out += i ? "," : "";
            newLine(depth + 1);
            AppendJson(out, value[i], depth + 1);
        }
        newLine(depth);
        out += ']';
    } else if (value.is_string()) {
        AppendString(out, value.get_ref<const std::string&>());
    } else {
        out += value.dump();
    }
}

// ---------------------------------------------------------------------------------------
// Reading

[[noreturn]] void Fail(const std::string& path, const std::string& problem) {
    throw JsonStoreError((path.empty() ? std::string("the document") : path) + ": " + problem);
}

// Builds the JSON value from the parser's events, taking each string's bytes from its
// token in the text: nlohmann's parser hands strings over with their escapes resolved,
// and the difference between "\u00e9" and "é" is the difference between two stores.
class TreeBuilder : public nlohmann::json_sax<Json> {
public:
    explicit TreeBuilder(std::string_view text) : m_text(text) {}

    Json root;
    std::string error;

    bool null() override { return Add(nullptr) != nullptr; }
    bool boolean(bool value) override { return Add(value) != nullptr; }
    bool number_integer(number_integer_t value) override { return Add(value) != nullptr; }
    bool number_unsigned(number_unsigned_t value) override { return Add(value) != nullptr; }
    bool number_float(number_float_t value, const string_t&) override {
        return Add(value) != nullptr;
    }
    bool string(string_t&) override { return Add(NextStringBytes()) != nullptr; }
    bool binary(binary_t&) override { return false; } // text holds none
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool key(string_t&) override {
        m_key = NextStringBytes();
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const Json::exception& e) override {
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
        const std::string what = e.what();
        const auto at = what.find("] ");
        error = "bad JSON: " + (at == std::string::npos ? what : what.substr(at + 2));
        return false;
    }

private:
    // Deeper than any store goes; a limit, so that no input exhausts the stack.
    static constexpr std::size_t kMaxDepth = 64;

    // Null when the value cannot be taken: a key the object holds already would make one
    // of the two values vanish unseen, so the text is refused, naming the place.
    Json* Add(Json value) {
        if (m_open.empty()) {
            root = std::move(value);
            m_addedPath.clear();
            return &root;
        }
        Json& parent = *m_open.back();
        if (parent.is_array()) {
            m_addedPath = Indexed(m_paths.back(), parent.size());
            parent.push_back(std::move(value));
            return &parent.back();
        }
        m_addedPath = Member(m_paths.back(), m_key);
        if (parent.contains(m_key)) {
            error = m_addedPath + ": given twice";
            return nullptr;
        }
        Json& slot = parent[m_key];
        slot = std::move(value);
        return &slot;
    }
    bool Open(Json container) {
        if (m_open.size() == kMaxDepth) {
            error = "bad JSON: nested more than " + std::to_string(kMaxDepth) + " deep";
            return false;
        }
        Json* added = Add(std::move(container));
        if (added == nullptr) {
            return false;
        }
        m_open.push_back(added);
        m_paths.push_back(m_addedPath);
        return true;
    }
    bool Close() {
        m_open.pop_back();
        m_paths.pop_back();
        return true;
    }

    // The bytes of the next string token, which the parser has just read whole.
    std::string NextStringBytes() {
        std::size_t at = m_text.find('"', m_cursor) + 1;
        std::string bytes;
        while (m_text[at] != '"') {
            if (m_text[at] != '\\') {
                const std::size_t end = m_text.find_first_of("\"\\", at);
                bytes.append(m_text, at, end - at);
                at = end;
                continue;
            }
            // Each short escape beside the byte it stands for.
            constexpr std::string_view kShort = "\"\"\\\\//b\bf\fn\nr\rt\t";
            const char kind = m_text[at + 1];
            at += 2;
            if (kind == 'u') {
                AppendEscaped(bytes, at);
            } else {
                bytes += kShort[kShort.find(kind) + 1];
            }
        }
        m_cursor = at + 1;
        return bytes;
    }

    char32_t Hex4(std::size_t at) const {
        return static_cast<char32_t>(std::stoul(std::string(m_text.substr(at, 4)), nullptr, 16));
    }

    // A \u escape whose four digits start at `at`: one byte for ASCII and for a character
    // of Windows-1252, UTF-8 for any other.
    void AppendEscaped(std::string& bytes, std::size_t& at) {
        char32_t cp = Hex4(at);
        at += 4;
        if (cp >= 0xD800 && cp <= 0xDBFF) { // the parser has checked that the low half follows
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4(at + 2) - 0xDC00);
            at += 6;
        }
        const unsigned char byte = cp < 0x80 ? static_cast<unsigned char>(cp) : Windows1252Byte(cp);
        if (cp < 0x80 || byte != 0) {
            bytes += static_cast<char>(byte);
        } else {
            AppendUtf8(bytes, cp);
        }
    }

    std::string_view m_text;
    std::size_t m_cursor = 0;
    std::vector<Json*> m_open;
    std::vector<std::string> m_paths; // where each open container is, as errors name it
    std::string m_addedPath;
    std::string m_key;
};

const char* Article(const Json& value) {
    return value.is_array() || value.is_object() ? "an" : "a";
}

std::string Found(const Json& value) {
    return std::string(Article(value)) + " " + value.type_name();
}

template <class T> T IntegerIn(const Json& value, const std::string& path) {
    if (!value.is_number_integer()) {
        Fail(path,
             "expected a whole number, not " + (value.is_number() ? value.dump() : Found(value)));
    }
    using Limits = std::numeric_limits<T>;
    const bool fits = value.is_number_unsigned()
                          ? value.get<std::uint64_t>() <= std::uint64_t{Limits::max()}
                          : value.get<std::int64_t>() >= std::int64_t{Limits::min()} &&
                                value.get<std::int64_t>() <= std::int64_t{Limits::max()};
    if (!fits) {
        Fail(path, value.dump() + " is out of range (" +
                       std::to_string(std::numeric_limits<T>::min()) + " to " +
                       std::to_string(std::numeric_limits<T>::max()) + ")");
    }
    return static_cast<T>(value.get<std::int64_t>());
}

const Json& ObjectAt(const Json& value, const std::string& path) {
    if (!value.is_object()) {
        Fail(path, "expected an object, not " + Found(value));
    }
    return value;
}

const Json& ArrayAt(const Json& value, const std::string& path) {
    if (!value.is_array()) {
        Fail(path, "expected an array, not " + Found(value));
    }
    return value;
}

// The members an object must have, each taken once; anything else in it is a mistake.
class Members {
public:
    Members(const Json& object, const std::string& path)
        : m_object(ObjectAt(object, path)), m_path(path) {}

    const Json& Take(std::string_view name) {
        const auto it = m_object.find(name);
        if (it == m_object.end()) {
            Fail(Member(m_path, name), "missing");
        }
        m_taken.insert(std::string(name));
        return *it;
    }

    void CheckNoOthers() const {
        for (const auto& [key, value] : m_object.items()) {
            if (!m_taken.contains(key)) {
                Fail(Member(m_path, key), "not a field here");
            }
        }
    }

private:
    const Json& m_object;
    const std::string& m_path;
    std::unordered_set<std::string> m_taken;
};

class Importer {
public:
    Importer(CSentrelDoc& doc, std::vector<std::unique_ptr<CObject>>& unlisted)
        : m_doc(doc), m_unlisted(unlisted) {}

    void Document(const Json& root) {
        const std::string top;
        Members members(root, top);
        const Json& trace = members.Take("trace");
        if (!trace.is_boolean()) {
            Fail("trace", "expected true or false, not " + Found(trace));
        }
        m_doc.traceOn = trace.get<bool>();
        // The activations refer to the two lists, so these come first, as in the store.
        Records(members.Take("alerts"), "alerts", m_doc.alerts);
        Records(members.Take("watches"), "watches", m_doc.watches);
        Records(members.Take("activations"), "activations", m_doc.activations);
        members.CheckNoOthers();
    }

    template <class T> T* Reference(const Json& value, const std::string& path);

private:
    // A new record of the class the object names, which must be of kind T.
    template <class T> std::unique_ptr<T> Record(const Json& value, const std::string& path);

    template <class T>
    void Records(const Json& value, const char* path, std::vector<std::unique_ptr<T>>& list) {
        const Json& items = ArrayAt(value, path);
        for (std::size_t i = 0; i < items.size(); ++i) {
            list.push_back(Record<T>(items[i], Indexed(path, i)));
        }
    }

    template <class T> const std::vector<std::unique_ptr<T>>& Listed() const;

    CSentrelDoc& m_doc;
    std::vector<std::unique_ptr<CObject>>& m_unlisted;
    // Records held only inside activations, by where they were given in full.
    std::unordered_map<std::string, CObject*> m_given;
};

template <> const std::vector<std::unique_ptr<CAlert>>& Importer::Listed<CAlert>() const {
    return m_doc.alerts;
}

template <> const std::vector<std::unique_ptr<CWatch>>& Importer::Listed<CWatch>() const {
    return m_doc.watches;
}

// "alert" or "watch", for messages.
const char* KindWord(const RecordClass& kind) {
    return &kind == &CAlert::classInfo   ? "alert"
           : &kind == &CWatch::classInfo ? "watch"
                                         : "activation";
}

std::string WithArticle(const RecordClass& kind) {
    return std::string(&kind == &CWatch::classInfo ? "a " : "an ") + KindWord(kind);
}

class JsonReader : public IFieldVisitor {
public:
    JsonReader(Importer& importer, const Json& object, const std::string& path)
        : m_importer(importer), m_members(object, path), m_path(path) {
        m_members.Take("class"); // read by the importer, not a field
    }

    void String(const char* name, std::string& value) override {
        const Json& field = m_members.Take(name);
        if (!field.is_string()) {
            Fail(Member(m_path, name), "expected a string, not " + Found(field));
        }
        value = field.get<std::string>();
    }
    void Int(const char* name, std::int32_t& value) override {
        value = IntegerIn<std::int32_t>(m_members.Take(name), Member(m_path, name));
    }
    void UInt(const char* name, std::uint32_t& value) override {
        value = IntegerIn<std::uint32_t>(m_members.Take(name), Member(m_path, name));
    }
    void Bool(const char* name, bool& value) override {
        const Json& field = m_members.Take(name);
        if (!field.is_boolean()) {
            Fail(Member(m_path, name), "expected true or false, not " + Found(field));
        }
        value = field.get<bool>();
    }
    void DateTime(const char* name, CDateTime& value) override {
        const std::string path = Member(m_path, name);
        Members members(m_members.Take(name), path);
        const auto status = IntegerIn<std::int32_t>(members.Take("status"), path + ".status");
        const Json& day = members.Take("day");
        members.CheckNoOthers();
        value = CDateTime(static_cast<CDateTime::Status>(status), DayFromJson(day, path + ".day"));
    }
    void TimeStamp(const char* name, std::int64_t& value) override {
        // As the store reads it back: four bytes, signed.
        value = IntegerIn<std::int32_t>(m_members.Take(name), Member(m_path, name));
    }
    void Alerts(const char* name, std::vector<CAlert*>& list) override { References(name, list); }
    void Watches(const char* name, std::vector<CWatch*>& list) override { References(name, list); }

    void Finish() const { m_members.CheckNoOthers(); }

private:
    static double DayFromJson(const Json& day, const std::string& path) {
        if (day.is_number()) {
            return day.get<double>();
        }
        const std::string text = day.is_string() ? day.get<std::string>() : std::string();
        if (text.size() != 18 || text.rfind("0x", 0) != 0 ||
            text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
            Fail(path, "expected a number, or \"0x\" and 16 hexadecimal digits");
        }
        return std::bit_cast<double>(std::stoull(text.substr(2), nullptr, 16));
    }

    template <class T> void References(const char* name, std::vector<T*>& list) {
        const std::string path = Member(m_path, name);
        const Json& items = ArrayAt(m_members.Take(name), path);
        list.clear();
        for (std::size_t k = 0; k < items.size(); ++k) {
            list.push_back(m_importer.Reference<T>(items[k], Indexed(path, k)));
        }
    }

    Importer& m_importer;
    Members m_members;
    const std::string& m_path;
};

template <class T> std::unique_ptr<T> Importer::Record(const Json& value, const std::string& path) {
    const Json& object = ObjectAt(value, path);
    const auto name = object.find("class");
    if (name == object.end()) {
        Fail(Member(path, "class"), "missing");
    }
    if (!name->is_string()) {
        Fail(Member(path, "class"), "expected a string, not " + Found(*name));
    }
    const std::string& className = name->get_ref<const std::string&>();
    const RecordClass* cls = TypeRegistry::Instance().Find(className);
    if (!cls) {
        Fail(Member(path, "class"), "no record class is named \"" + className + "\"");
    }
    std::unique_ptr<CObject> record = cls->create();
    if (!record->IsKindOf(T::classInfo)) {
        Fail(Member(path, "class"), className + " is not " + WithArticle(T::classInfo));
    }
    JsonReader reader(*this, object, path);
    record->VisitFields(reader);
    reader.Finish();
    return std::unique_ptr<T>(static_cast<T*>(record.release()));
}

template <class T> T* Importer::Reference(const Json& value, const std::string& path) {
    const auto& listed = Listed<T>();
    if (value.is_number_integer()) {
        const bool inRange =
            value.is_number_unsigned() && value.get<std::uint64_t>() < listed.size();
        if (!inRange) {
            Fail(path, std::string("no ") + KindWord(T::classInfo) + " " + value.dump() +
                           " (the list holds " + std::to_string(listed.size()) + ")");
        }
        return listed[value.get<std::size_t>()].get();
    }
    if (value.is_string()) {
        const std::string& where = value.get_ref<const std::string&>();
        const auto it = m_given.find(where);
        if (it == m_given.end() || !it->second->IsKindOf(T::classInfo)) {
            Fail(path,
                 "\"" + where + "\" is not " + WithArticle(T::classInfo) + " given in full before");
        }
        return static_cast<T*>(it->second);
    }
    if (!value.is_object()) {
        Fail(path, "expected a number, an object or a string, not " + Found(value));
    }
    std::unique_ptr<T> record = Record<T>(value, path);
    T* kept = record.get();
    m_unlisted.push_back(std::move(record));
    m_given.emplace(path, kept);
    return kept;
}

} // namespace

Json DocumentToJson(const CSentrelDoc& doc) {
    Dumper dumper(doc);
    Json alerts = RecordList(dumper, doc.alerts, "alerts");
    Json watches = RecordList(dumper, doc.watches, "watches");
    Json activations = RecordList(dumper, doc.activations, "activations");
    return Json{{"trace", doc.traceOn},
                {"alerts", std::move(alerts)},
                {"watches", std::move(watches)},
                {"activations", std::move(activations)}};
}

std::string JsonText(const Json& value) {
    std::string out;
    AppendJson(out, value, 0);
    return out;
}

void DocumentFromJson(std::string_view text, CSentrelDoc& doc,
                      std::vector<std::unique_ptr<CObject>>& unlisted) {
    TreeBuilder builder(text);
    if (!Json::sax_parse(text, &builder) || !builder.error.empty()) {
        throw JsonStoreError(builder.error.empty() ? "bad JSON" : builder.error);
    }
    Importer(doc, unlisted).Document(builder.root);
}

} // namespace sentrel::tools

#include "optlist/xmldocument.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "base/cp1251.h"
#include "base/syserror.h"
#include "base/wholefile.h"

namespace {

// Blanks are kept (no XML_PARSE_NOBLANKS); no network, and no XML_PARSE_NOENT / XML_PARSE_DTDLOAD,
// so external entities and DTDs are never fetched. The library's own printing to stderr is off:
// its messages travel in the load's failure instead. A document is only ever read, so short texts
// are kept inside their nodes (XML_PARSE_COMPACT): fewer allocations to load and to free.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

// Files in the system's code page are decoded here with a table rather than by iconv, which costs
// as much as the parse of such a file: the same characters for every byte, and 0x98, which is no
// character of the code page, fails the parse at the same place with the same message.
struct Cp1251Utf8 {
    std::array<std::array<unsigned char, 4>, 256> bytes{};  // [0]: the length, 0 for no character
};

const Cp1251Utf8& Cp1251Table() {
    static const Cp1251Utf8 table = [] {
        Cp1251Utf8 t;
        for (int b = 0; b < 256; ++b) {
            const char32_t cp = cp1251::ToUnicode(static_cast<uint8_t>(b));
            if (cp == 0xFFFD) continue;
            std::string utf8;
            cp1251::AppendUtf8(utf8, cp);
            t.bytes[b][0] = static_cast<unsigned char>(utf8.size());
            std::memcpy(&t.bytes[b][1], utf8.data(), utf8.size());
        }
        return t;
    }();
    return table;
}

// The XML library's decoder contract: decodes what fits into out, sets *inlen to the bytes taken
// and *outlen to the bytes given; -2 at a byte that is no character, with the bytes before it
// given.
int Cp1251ToUtf8(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    if (out == nullptr || outlen == nullptr || in == nullptr || inlen == nullptr) return -1;
    const Cp1251Utf8& table = Cp1251Table();
    const int inMax = *inlen, outMax = *outlen;
    int i = 0, o = 0;
    for (; i < inMax; ++i) {
        if (in[i] < 0x80) {  // most of a file
            if (o == outMax) break;
            out[o++] = in[i];
            continue;
        }
        const auto& utf8 = table.bytes[in[i]];
        const int n = utf8[0];
        if (n == 0) {
            *inlen = i;
            *outlen = o;
            return -2;
        }
        if (o + n > outMax) break;
        for (int k = 0; k < n; ++k) out[o + k] = utf8[1 + k];
        o += n;
    }
    *inlen = i;
    *outlen = o;
    return o;
}

void UseOwnCp1251Decoder() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        Cp1251Table();
        // Registered names are found before iconv is asked; the library keeps them.
        for (const char* name : {"WINDOWS-1251", "CP1251"})
            xmlNewCharEncodingHandler(name, Cp1251ToUtf8, nullptr);
    });
}

struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

// Collects the library's messages of one parse instead of letting it print them. Installed for the
// calling thread while it lives; the handler that was there before is put back.
class ErrorCollector {
  public:
    explicit ErrorCollector(std::string fileName)
        : fileName_(std::move(fileName)),
          oldHandler_(xmlStructuredError),
          oldContext_(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(this, &ErrorCollector::Handle);
    }
    ~ErrorCollector() { xmlSetStructuredErrorFunc(oldContext_, oldHandler_); }
    ErrorCollector(const ErrorCollector&) = delete;
    ErrorCollector& operator=(const ErrorCollector&) = delete;

    // The first error (or, when there was none, the first warning) with the file and line it
    // names; the fallback when the library said nothing.
    std::string Text(const std::string& fallback) const {
        const std::string& chosen = !firstError_.empty() ? firstError_ : firstWarning_;
        return chosen.empty() ? fileName_ + ": " + fallback : chosen;
    }

  private:
    static void Handle(void* self, xmlErrorPtr err) {
        auto* me = static_cast<ErrorCollector*>(self);
        if (err == nullptr || err->message == nullptr) return;
        std::string where = err->file ? err->file : me->fileName_;
        if (err->line > 0) where += ":" + std::to_string(err->line);
        const std::string text = where + ": " + Trimmed(err->message);
        std::string& slot = err->level >= XML_ERR_ERROR ? me->firstError_ : me->firstWarning_;
        if (slot.empty()) slot = text;
    }

    std::string fileName_;
    xmlStructuredErrorFunc oldHandler_;
    void* oldContext_;
    std::string firstError_;
    std::string firstWarning_;
};

// True when the document names its encoding itself: a byte order mark, a UTF-16/32 layout, or an
// encoding declaration in the XML declaration.
bool DeclaresEncoding(const std::string& bytes) {
    if (bytes.size() >= 2) {
        const auto b0 = static_cast<uint8_t>(bytes[0]), b1 = static_cast<uint8_t>(bytes[1]);
        if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE) || b0 == 0 || b1 == 0)
            return true;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return true;
    if (bytes.compare(0, 5, "<?xml") != 0) return false;
    const size_t end = bytes.find("?>");
    const std::string decl = bytes.substr(0, end == std::string::npos ? std::string::npos : end);
    return decl.find("encoding") != std::string::npos;
}

// The attribute named exactly `name` with no namespace prefix (as a DOM's getAttribute(name)
// finds it); defaults from a DTD are not attributes of the element.
xmlAttr* FindAttribute(xmlNode* node, const char* name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) return nullptr;
    for (xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (a->ns == nullptr && std::strcmp(reinterpret_cast<const char*>(a->name), name) == 0)
            return a;
    }
    return nullptr;
}

// Text content as a DOM gives it (text and CDATA of the descendants, entity references replaced by
// their text), but bounded. A file that declares an entity and refers to it a hundred thousand
// times parses quickly, yet its expanded text runs to gigabytes; no configuration text comes near
// the bound, so cutting there only stops such a file from stalling the program.
constexpr size_t kMaxContentBytes = 1 << 20;
constexpr long kMaxContentNodes = 1 << 20;
constexpr int kMaxEntityDepth = 32;

struct ContentCollector {
    std::string out;  // UTF-8
    long nodesLeft = kMaxContentNodes;

    bool Full() const { return out.size() >= kMaxContentBytes || nodesLeft <= 0; }

    void AppendText(const xmlChar* text) {
        if (text == nullptr) return;
        const size_t room = kMaxContentBytes - out.size();
        const char* chars = reinterpret_cast<const char*>(text);
        out.append(chars, strnlen(chars, room));
    }

    void AppendChildren(const xmlNode* child, int depth) {
        for (; child != nullptr && !Full(); child = child->next, --nodesLeft) {
            switch (child->type) {
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE:
                    AppendText(child->content);
                    break;
                case XML_ELEMENT_NODE:
                    AppendChildren(child->children, depth);
                    break;
                case XML_ENTITY_REF_NODE:
                    if (depth < kMaxEntityDepth) {
                        const xmlEntity* entity = xmlGetDocEntity(child->doc, child->name);
                        if (entity != nullptr) AppendChildren(entity->children, depth + 1);
                    }
                    break;
                default:
                    break;
            }
        }
    }
};

std::string Content(xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) {
        // Text, CDATA and comment nodes carry their own text, with nothing to expand.
        xmlChar* v = xmlNodeGetContent(node);
        std::string out = v ? reinterpret_cast<const char*>(v) : "";
        if (v) xmlFree(v);
        return out;
    }
    ContentCollector collector;
    collector.AppendChildren(node->children, 0);
    return std::move(collector.out);
}

std::string RawAttribute(xmlAttr* a) {
    return Content(reinterpret_cast<xmlNode*>(a));
}

}  // namespace

XmlDocument::~XmlDocument() {
    if (doc_) xmlFreeDoc(doc_);
}

Status XmlDocument::Load() {
    UseOwnCp1251Decoder();
    {
        std::lock_guard<std::mutex> lock(derivedMutex_);
        derived_.reset();
    }
    if (doc_) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) return Failure::OfInvalid(fileName_ + ": out of memory", fileName_);

    ErrorCollector errors(fileName_);
    const Result<std::string> read = ReadWholeFile(fileName_, inputlimit::kXml);
    if (!read) {
        // The file is never handed to the library by name: its own opener would wait for a
        // FIFO's writer for ever and read a device or a file of any size to its end.
        const Failure& failure = read.failure();
        const std::string reason = failure.kind == FailureKind::File
                                       ? SystemErrorText(failure.errorNumber)
                                       : failure.detail;
        return Failure::OfInvalid(fileName_ + ": failed to load: " + reason, fileName_);
    }
    const std::string& bytes = read.value();
    // Text written by Windows programs without a declaration is in the system's own code page.
    const char* encoding = nullptr;
    if (!DeclaresEncoding(bytes) && !cp1251::IsValidUtf8(bytes)) encoding = "WINDOWS-1251";
    doc_ = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()),
                             fileName_.c_str(), encoding, kParseOptions);
    if (doc_ == nullptr) return Failure::OfInvalid(errors.Text("cannot be parsed"), fileName_);
    if (xmlDocGetRootElement(doc_) == nullptr) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
        return Failure::OfInvalid(fileName_ + ": Document has no root element", fileName_);
    }
    return Status();
}

const XmlDocument::Derived& XmlDocument::DerivedOnce(
    const std::function<std::unique_ptr<Derived>(const XmlDocument&)>& make) const {
    std::lock_guard<std::mutex> lock(derivedMutex_);
    if (!derived_) derived_ = make(*this);
    return *derived_;
}

_xmlNode* XmlDocument::DocumentElement() const {
    return doc_ ? xmlDocGetRootElement(doc_) : nullptr;
}

_xmlNode* XmlDocument::FirstChild(_xmlNode* node) {
    if (node == nullptr) return nullptr;
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE) return nullptr;
    return node->children;
}

_xmlNode* XmlDocument::NextSibling(_xmlNode* node) {
    return node ? node->next : nullptr;
}

bool XmlDocument::IsElement(_xmlNode* node) {
    return node && node->type == XML_ELEMENT_NODE;
}

std::string XmlDocument::Tag(_xmlNode* node) {
    if (!IsElement(node)) return {};
    std::string tag;
    if (node->ns && node->ns->prefix) {
        tag = reinterpret_cast<const char*>(node->ns->prefix);
        tag += ':';
    }
    tag += reinterpret_cast<const char*>(node->name);
    return tag;
}

bool XmlDocument::HasTag(_xmlNode* node, std::string_view tag) {
    if (!IsElement(node)) return tag.empty();
    if (node->ns && node->ns->prefix) {
        const std::string_view prefix(reinterpret_cast<const char*>(node->ns->prefix));
        if (tag.size() <= prefix.size() || tag.substr(0, prefix.size()) != prefix ||
            tag[prefix.size()] != ':')
            return false;
        tag.remove_prefix(prefix.size() + 1);
    }
    return tag == reinterpret_cast<const char*>(node->name);
}

bool XmlDocument::HasAttribute(_xmlNode* node, const char* name) {
    return FindAttribute(node, name) != nullptr;
}

bool XmlDocument::AttributeUtf8(_xmlNode* node, const char* name, std::string& storage,
                                std::string_view& value) {
    xmlAttr* a = FindAttribute(node, name);
    if (a == nullptr) return false;
    const xmlNode* text = a->children;
    if (text == nullptr) {
        value = {};
        return true;
    }
    if (text->type == XML_TEXT_NODE && text->next == nullptr && text->content != nullptr) {
        const char* chars = reinterpret_cast<const char*>(text->content);
        value = std::string_view(chars, strnlen(chars, kMaxContentBytes));
        return true;
    }
    storage = RawAttribute(a);
    value = storage;
    return true;
}

bool XmlDocument::Attribute(_xmlNode* node, const char* name, std::string& value) {
    xmlAttr* a = FindAttribute(node, name);
    if (a == nullptr) return false;
    value = cp1251::FromUtf8(RawAttribute(a)).bytes();
    return true;
}

bool XmlDocument::AttributeLower(_xmlNode* node, const char* name, std::string& value) {
    xmlAttr* a = FindAttribute(node, name);
    if (a == nullptr) return false;
    value = cp1251::FromUtf8Lower(RawAttribute(a));
    return true;
}

std::string XmlDocument::Text(_xmlNode* node) {
    if (node == nullptr) return {};
    return cp1251::FromUtf8(Content(node)).bytes();
}

#pragma once
// A small read-only XML document over libxml2. Texts leave it as Windows-1251; tag and attribute
// names are ASCII and compared exactly. White space is kept, and parsing never loads a DTD,
// expands an external entity or touches the network.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/result.h"

struct _xmlDoc;
struct _xmlNode;

class XmlDocument {
  public:
    XmlDocument() = default;
    explicit XmlDocument(std::string fileName) : fileName_(std::move(fileName)) {}
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
    const std::string& FileName() const { return fileName_; }

    // Loads and parses the file named by FileName(), replacing what was loaded before; the file
    // is read by the bounded input opener (base/wholefile.h), never by the XML library. A file
    // that cannot be read gives an Invalid failure "FILE: failed to load: " and why (the system's
    // error, or the opener's refusal: not a regular file, too large); one that cannot be parsed,
    // the XML library's own message (UTF-8) naming the file and line. The document is then empty.
    Status Load();
    bool IsActive() const { return doc_ != nullptr; }

    // The document element, or null when nothing is loaded.
    _xmlNode* DocumentElement() const;

    // Node helpers; all accept null and then give null/false/empty.
    static _xmlNode* FirstChild(_xmlNode* node);  // any node kind: elements, text, comments
    static _xmlNode* NextSibling(_xmlNode* node);
    static bool IsElement(_xmlNode* node);
    static std::string Tag(_xmlNode* node);  // the element's name (ASCII); empty otherwise
    // Tag(node) == tag (so "" for a node that is not an element), without making the name.
    static bool HasTag(_xmlNode* node, std::string_view tag);
    static bool HasAttribute(_xmlNode* node, const char* name);
    // Attribute value as Windows-1251; returns false when the attribute is absent (absent !=
    // empty).
    static bool Attribute(_xmlNode* node, const char* name, std::string& value);
    // Attribute value as Windows-1251, lower-cased on its Unicode form.
    static bool AttributeLower(_xmlNode* node, const char* name, std::string& value);
    // Attribute value as the document holds it (UTF-8), before any conversion: a view of the
    // node's own text when the value is plain text (the usual case), else assembled in storage
    // (entity references expanded). Valid while the document and storage are. False when absent.
    static bool AttributeUtf8(_xmlNode* node, const char* name, std::string& storage,
                              std::string_view& value);
    static std::string Text(_xmlNode* node);  // text content, white space kept, Windows-1251

    // Something worked out once from the loaded document (a lookup index), kept until another
    // document is loaded. make runs at the first call after a load; callers on several threads
    // get the same object.
    struct Derived {
        virtual ~Derived() = default;
    };
    const Derived& DerivedOnce(
        const std::function<std::unique_ptr<Derived>(const XmlDocument&)>& make) const;

  private:
    std::string fileName_;
    _xmlDoc* doc_ = nullptr;
    mutable std::mutex derivedMutex_;
    mutable std::unique_ptr<Derived> derived_;
};

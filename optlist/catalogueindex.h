#pragma once
// The catalogue's entries indexed by their "name" patterns, built once per loaded catalogue, so
// that looking a variable up costs a few hash probes instead of a walk over every entry with its
// pattern converted again. It answers exactly as the walk does: the first entry in document order
// whose pattern matches (MatchCatalogName).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "optlist/xmldocument.h"

class CatalogueIndex : public XmlDocument::Derived {
  public:
    explicit CatalogueIndex(const XmlDocument& doc);

    // The index kept with doc (made at its first use after a load).
    static const CatalogueIndex& Of(const XmlDocument& doc);

    // The first child of the document element whose pattern matches varName, or null.
    _xmlNode* Find(const std::string& varName) const;

    // How many lookups (Find) the index has answered, from any thread.
    uint64_t Lookups() const { return lookups_.load(std::memory_order_relaxed); }

  private:
    // Patterns of one length with "$" at the same positions: a name of that length with digits at
    // those positions matches the pattern that equals it with "$" put back at them.
    struct Shape {
        std::vector<size_t> dollars;
        std::unordered_map<std::string, size_t> first;  // pattern -> its first child's number
    };
    void Add(const std::string& pattern, size_t child);

    std::vector<_xmlNode*> children_;                        // in document order
    std::unordered_map<size_t, std::vector<Shape>> shapes_;  // by the names' length
    mutable std::atomic<uint64_t> lookups_{0};
};

// The plain walk over every child, as the lookups were made before the index; the index must
// answer exactly as it does.
_xmlNode* ScanCatalogue(const XmlDocument& doc, const std::string& varName);

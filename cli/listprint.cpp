#include "cli/listprint.h"

#include "app/listdiff.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"

namespace {

// Appends Windows-1251 bytes as UTF-8; ASCII, what most fields are, as it is.
void AppendAsUtf8(std::string& out, const std::string& bytes) {
    unsigned char high = 0;
    for (const char c : bytes) high |= static_cast<unsigned char>(c);
    if (high < 0x80) {
        out += bytes;
        return;
    }
    size_t ascii = 0;  // the bytes before it are out
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<uint8_t>(bytes[i]);
        if (c < 0x80) continue;
        out.append(bytes, ascii, i - ascii);
        cp1251::AppendUtf8(out, cp1251::ToUnicode(c));
        ascii = i + 1;
    }
    out.append(bytes, ascii, bytes.size() - ascii);
}

// A caption for the terminal.
std::string Field(const std::string& field) {
    return field.empty() ? "\"\"" : cp1251::ToUtf8(Cp1251String(field));
}

}  // namespace

void PrintList(const SnvtList& list, std::ostream& out) {
    // The lines go out in large pieces through one buffer: no stream formatting per field.
    constexpr size_t kPiece = 64 * 1024;
    std::string text;
    text.reserve(kPiece + 1024);
    for (const SnvtRow& row : list.Rows()) {
        AppendAsUtf8(text, row.caption);
        for (const std::string& item : row.subItems) {
            text += '\t';
            AppendAsUtf8(text, item);
        }
        text += '\n';
        if (text.size() >= kPiece) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    AppendAsUtf8(text, list.CountersText());
    text += '\n';
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void PrintListDiff(const std::vector<ListDiffEntry>& entries, std::ostream& out) {
    for (const ListDiffEntry& e : entries) {
        switch (e.kind) {
            case ListEntryKind::Added:
                out << "added " << Field(e.after->caption) << " at row " << e.afterIndex + 1 << ": "
                    << ColumnsText(*e.after) << '\n';
                break;
            case ListEntryKind::Removed:
                out << "removed " << Field(e.before->caption) << " from row " << e.beforeIndex + 1
                    << '\n';
                break;
            case ListEntryKind::Kept:
                if (e.moved) {
                    out << "moved " << Field(e.after->caption) << " from row " << e.beforeIndex + 1
                        << " to row " << e.afterIndex + 1;
                    if (!e.changes.empty()) out << "; changed: " << ChangesText(e.changes, "none");
                } else {
                    out << "changed " << Field(e.after->caption) << ": "
                        << ChangesText(e.changes, "none");
                }
                out << '\n';
                break;
        }
    }
}

#include "cli/listprint.h"

#include "base/cp1251.h"
#include "cli/clitext.h"
#include "cli/terminaltext.h"
#include "gateway/listdiff.h"
#include "gateway/snvtlist.h"

namespace {

// Appends a Windows-1251 field as it is shown; printable ASCII, what most fields are, as it is.
void AppendField(std::string& out, const std::string& bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            terminaltext::AppendShownCp1251(out, bytes);
            return;
        }
    }
    out += bytes;
}

// A caption for the terminal.
std::string Field(const std::string& field) {
    return field.empty() ? "\"\"" : terminaltext::ShownCp1251(field);
}

}  // namespace

void PrintList(const SnvtList& list, std::ostream& out) {
    // The lines go out in large pieces through one buffer: no stream formatting per field.
    constexpr size_t kPiece = 64 * 1024;
    std::string text;
    text.reserve(kPiece + 1024);
    for (const SnvtRow& row : list.Rows()) {
        AppendField(text, row.caption);
        for (const std::string& item : row.subItems) {
            text += '\t';
            AppendField(text, item);
        }
        text += '\n';
        if (text.size() >= kPiece) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    AppendField(text, list.CountersText());
    text += '\n';
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void PrintListDiff(const std::vector<ListDiffEntry>& entries, std::ostream& out) {
    for (const ListDiffEntry& e : entries) {
        switch (e.kind) {
            case ListEntryKind::Added:
                out << clitext::Added(Field(e.after->caption), e.afterIndex + 1,
                                      terminaltext::Shown(ColumnsText(*e.after)))
                    << '\n';
                break;
            case ListEntryKind::Removed:
                out << clitext::Removed(Field(e.before->caption), e.beforeIndex + 1) << '\n';
                break;
            case ListEntryKind::Kept:
                if (e.moved) {
                    out << clitext::Moved(Field(e.after->caption), e.beforeIndex + 1,
                                          e.afterIndex + 1);
                    if (!e.changes.empty())
                        out << clitext::AlsoChanged(
                            terminaltext::Shown(ChangesText(e.changes, clitext::NoValue())));
                } else {
                    out << clitext::Changed(
                        Field(e.after->caption),
                        terminaltext::Shown(ChangesText(e.changes, clitext::NoValue())));
                }
                out << '\n';
                break;
        }
    }
}

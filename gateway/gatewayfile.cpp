#include "gateway/gatewayfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/cp1251.h"
#include "base/pathcase.h"
#include "base/uniquefd.h"
#include "base/wholefile.h"
#include "gateway/gatewaytokenreader.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

const char kFileName[] = "duxgate.cfg";
const char kLineEnd[] = "\r\n";
// The SNVT id is left-aligned in a column this wide, then followed by one more space.
constexpr size_t kIdColumn = 22;

void AppendLine(std::string& out, const std::string& type, const std::string& ref,
                const std::string& id) {
    out += type;
    out += ' ';
    out += ref;
    out += ' ';
    out += id;
    if (id.size() < kIdColumn) out.append(kIdColumn - id.size(), ' ');
    out += ' ';
}

// Appends the main line and, for a named flags variable, the flags line: one entry.
void AppendEntry(std::string& text, const SnvtRow& row) {
    AppendLine(text, row.Text(colType), row.Text(colRef), row.Text(colSnvtId));
    text += row.caption;
    text += ' ';
    text += row.Text(colDimension);
    if (WritesFlagsLine(row)) {
        text += kLineEnd;
        AppendLine(text, row.Text(colFlagsType), row.Text(colFlagsRef), row.Text(colFlagsSnvtId));
        text += row.Text(colFlagsName);
    }
    text += kLineEnd;
}

bool HasSpace(const std::string& field) {
    for (char c : field) {
        if (GatewayTokenReader::IsSpace(static_cast<unsigned char>(c))) return true;
    }
    return false;
}

// Why the row would read back as something else, or empty when it reads back as written. Fields
// are split at white space, so none may hold any; an empty field would shift the ones after it,
// except the last field of a line, which reads back as empty.
Cp1251String RowProblem(const SnvtRow& row) {
    static constexpr int kColumns[] = {colType,     colRef,         colSnvtId,
                                       colVarName,  colDimension,   colFlagsType,
                                       colFlagsRef, colFlagsSnvtId, colFlagsName};
    const size_t count = WritesFlagsLine(row) ? std::size(kColumns) : 5;
    for (size_t i = 0; i < count; ++i) {
        const int column = kColumns[i];
        const std::string& text = row.Text(column);
        const bool lastOfLine = column == colDimension || column == colFlagsName;
        if (text.empty() && !lastOfLine) return usertext::EmptyField(kSnvtColumnCaptions[column]);
        if (HasSpace(text)) return usertext::SpaceInField(kSnvtColumnCaptions[column]);
    }
    // Only "F" entries are read back, and only a line beginning with "B" is a flags line.
    if (row.Text(colType) != "F") return usertext::TypeNotF();
    if (WritesFlagsLine(row) && row.Text(colFlagsType)[0] != 'B') return usertext::FlagsTypeNotB();
    return Cp1251String();
}

Failure Refused(const std::string& path, size_t index, const SnvtRow& row,
                const Cp1251String& problem) {
    return Failure::OfInvalid(cp1251::ToUtf8(usertext::RowRefused(index + 1, row.caption, problem)),
                              path, index);
}

// Bytes of the shortest entry the program writes ("F" line with its padded SNVT id); a file of
// n bytes holds about n / kEntryBytes rows, which sizes the list before they come.
constexpr size_t kEntryBytes = 32;

// Appends the file's entries to the list, then shows the counters. Returns how many entries the
// file holds in all (those beyond the list's row limit counted, not kept).
size_t ReadEntries(SnvtList& list, GatewayTokenReader& in, size_t sizeHint) {
    list.Reserve(sizeHint / kEntryBytes + 1);
    size_t entries = 0;
    bool full = false;
    for (;;) {
        if (full) {
            // Past the row limit the entries are only counted: every line but a flags line
            // starts one.
            if (in.FirstToken() == "F") ++entries;
            in.SkipRestOfLine();
            in.SkipLineBreaks();
            if (in.AtEnd()) break;
            continue;
        }
        const std::string type = in.FirstToken();
        std::string ref = in.LineToken();
        std::string id = in.LineToken();
        std::string caption = in.LineToken();
        std::string dimension = in.LineToken();
        in.SkipRestOfLine();
        in.SkipLineBreaks();
        // One allocation a row: the sub-items are sized for the flags line when one follows.
        const bool flags = in.LookAhead() == 'B';
        std::vector<std::string> subItems;
        subItems.reserve(flags ? kFlagsSubItems : kPlainSubItems);
        subItems.push_back(std::move(ref));
        subItems.push_back(type);
        subItems.push_back(std::move(id));
        subItems.push_back(std::move(dimension));
        static_assert(colRef == 1 && colType == 2 && colSnvtId == 3 && colDimension == 4);

        if (flags) {
            std::string flagsType = in.FirstToken();
            std::string flagsRef = in.LineToken();
            std::string flagsId = in.LineToken();
            subItems.push_back(in.LineToken());  // the flags name
            subItems.push_back(std::move(flagsRef));
            subItems.push_back(std::move(flagsType));
            subItems.push_back(std::move(flagsId));
            static_assert(colFlagsName == 5 && colFlagsRef == 6 && colFlagsType == 7 &&
                          colFlagsSnvtId == 8);
            in.SkipRestOfLine();
            in.SkipLineBreaks();
            // One flags line per entry: further "B" lines have no row to go to.
            while (in.LookAhead() == 'B') {
                in.SkipRestOfLine();
                in.SkipLineBreaks();
            }
        }

        if (type == "F") {
            ++entries;
            // Past the row limit the rest is only counted, so that the caller can say how much
            // did not fit; a row that cannot be created for want of memory ends the file.
            if (!full && !list.AppendRowFromFile(std::move(caption), std::move(subItems))) {
                if (list.RowCount() < list.RowLimit()) {
                    --entries;
                    break;
                }
                full = true;
            }
        }
        if (in.AtEnd()) break;
    }
    list.UpdateCounters();
    return entries;
}

// The rows are kept up to the list's limit; a file with more cannot be loaded whole.
Status CheckAllRows(const SnvtList& list, size_t entries, const std::string& path) {
    if (entries <= list.RowCount() || list.RowCount() < list.RowLimit()) return Status();
    return Failure::OfInvalid(cp1251::ToUtf8(usertext::TooManyRows(entries, list.RowLimit())),
                              path);
}

}  // namespace

bool WritesFlagsLine(const SnvtRow& row) {
    return row.subItems.size() >= 7 && !row.Text(colFlagsName).empty();
}

Status SaveGatewayFile(const SnvtList& list, const std::string& path) {
    for (size_t i = 0; i < list.RowCount(); ++i) {
        const Cp1251String problem = RowProblem(list.Row(i));
        if (!problem.empty()) return Refused(path, i, list.Row(i), problem);
    }
    AtomicFileWriter file;
    if (Status opened = file.Open(path); !opened) return opened;
    if (Status written = file.Write(GatewayFileText(list)); !written) return written;
    return file.Commit();
}

std::string GatewayFileText(const SnvtList& list) {
    // Sized once: the fields, the padding of the SNVT ids and the separators of each row.
    size_t size = 0;
    for (const SnvtRow& row : list.Rows()) {
        size += row.caption.size() + 2 * (kIdColumn + 8);
        for (const std::string& item : row.subItems) size += item.size();
    }
    std::string text;
    text.reserve(size);
    for (const SnvtRow& row : list.Rows()) AppendEntry(text, row);
    return text;
}

Result<std::string> StoredGatewayText(std::string_view bytes) {
    XmlDocument noCatalogue;  // reading and writing rows never looks variables up
    SnvtList list(noCatalogue);
    if (const Status loaded = LoadGatewayBytes(list, bytes); !loaded) return loaded.failure();
    return GatewayFileText(list);
}

Status LoadGatewayFile(SnvtList& list, const std::string& prefix) {
    // A configuration folder copied from Windows may spell the name in any case. The working
    // directory holds the program's own download under the exact name, beside the upload copy
    // "DUXGate.cfg", which must never be taken for it.
    const std::string path =
        prefix.empty() ? std::string(kFileName) : pathcase::Resolve(prefix + kFileName);
    const Status loaded = LoadGatewayFileAt(list, path);
    // A missing file leaves the list empty and is no failure.
    if (!loaded && loaded.failure().kind == FailureKind::File) return Status();
    return loaded;
}

Status LoadGatewayFileAt(SnvtList& list, const std::string& path) {
    list.Clear();
    Result<UniqueFd> opened = OpenInputFile(path, inputlimit::kSettingsFile);
    if (!opened) {
        list.UpdateCounters();
        return opened.failure();
    }
    const UniqueFd fd = std::move(opened).value();
    struct stat info {};
    const size_t sizeHint =
        ::fstat(fd.Get(), &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    GatewayTokenReader in(fd.Get());
    return CheckAllRows(list, ReadEntries(list, in, sizeHint), path);
}

Status LoadGatewayBytes(SnvtList& list, std::string_view bytes) {
    list.Clear();
    GatewayTokenReader in(bytes);
    return CheckAllRows(list, ReadEntries(list, in, bytes.size()), std::string());
}

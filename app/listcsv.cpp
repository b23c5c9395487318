#include "app/listcsv.h"

#include "app/atomicfilewriter.h"
#include "app/gatewayfile.h"
#include "app/messages.h"
#include "app/snvtlist.h"
#include "base/cp1251.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kSeparator = ';';
constexpr std::string_view kLineEnd = "\r\n";

// One line of Windows-1251 fields.
void AppendLine(std::string& out, std::initializer_list<const std::string*> fields) {
    bool first = true;
    for (const std::string* field : fields) {
        if (!first) out += kSeparator;
        first = false;
        out += CsvField(cp1251::ToUtf8(Cp1251String(*field)));
    }
    out += kLineEnd;
}

}  // namespace

std::string CsvField(std::string_view utf8) {
    if (utf8.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string quoted;
    quoted.reserve(utf8.size() + 2);
    quoted += '"';
    for (char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string ListCsvText(const SnvtList& list) {
    std::string out(kByteOrderMark);
    // A row's line is some 40 bytes; a flags line about as much.
    out.reserve(out.size() + 64 * (list.RowCount() + 1));
    const auto& captions = usertext::ListCsvCaptions();
    bool first = true;
    for (const Cp1251String* caption : captions) {
        if (!first) out += kSeparator;
        first = false;
        out += CsvField(cp1251::ToUtf8(*caption));
    }
    out += kLineEnd;

    const std::string none;
    unsigned long number = 0;
    std::string numberText;
    for (const SnvtRow& row : list.Rows()) {
        numberText = std::to_string(++number);
        AppendLine(out, {&numberText, &row.caption, &row.Text(colRef), &row.Text(colType),
                         &row.Text(colSnvtId), &row.Text(colDimension)});
        if (!WritesFlagsLine(row)) continue;
        numberText = std::to_string(++number);
        AppendLine(out, {&numberText, &row.Text(colFlagsName), &row.Text(colFlagsRef),
                         &row.Text(colFlagsType), &row.Text(colFlagsSnvtId), &none});
    }
    return out;
}

Status SaveListCsv(const SnvtList& list, const std::string& path) {
    AtomicFileWriter file;
    if (Status opened = file.Open(path); !opened) return opened;
    if (Status written = file.Write(ListCsvText(list)); !written) return written;
    return file.Commit();
}

#include "gateway/listcsv.h"

#include "app/messages.h"
#include "base/atomicfilewriter.h"
#include "base/cp1251.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kSeparator = ';';
constexpr std::string_view kLineEnd = "\r\n";
// The Unicode pictures of the control characters: U+2400 "␀" for NUL onwards, U+2421 "␡" for DEL.
constexpr char32_t kControlPictures = 0x2400;
constexpr char32_t kDeletePicture = 0x2421;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A field a spreadsheet would take for a formula.
bool StartsFormula(std::string_view utf8) {
    if (utf8.empty() || std::string_view("=+-@\t\r").find(utf8.front()) == std::string_view::npos)
        return false;
    // A plain number, such as -5 or +1,5, is a value to a spreadsheet, never a formula.
    size_t at = utf8.front() == '-' || utf8.front() == '+' ? 1 : 0;
    size_t digits = 0;
    const auto skipDigits = [&] {
        for (; at < utf8.size() && IsDigit(utf8[at]); ++at) ++digits;
    };
    skipDigits();
    if (at < utf8.size() && (utf8[at] == '.' || utf8[at] == ',')) {
        ++at;
        skipDigits();
    }
    return digits == 0 || at != utf8.size();
}

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
    std::string cell;
    cell.reserve(utf8.size() + 3);
    if (StartsFormula(utf8)) cell += '\'';
    bool quoted = false;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F) {
            cp1251::AppendUtf8(cell, byte == 0x7F ? kDeletePicture : kControlPictures + byte);
            continue;
        }
        if (c == ';' || c == '"' || c == '\r' || c == '\n') quoted = true;
        if (c == '"') cell += '"';
        cell += c;
    }
    if (!quoted) return cell;
    cell.insert(cell.begin(), '"');
    cell += '"';
    return cell;
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

#include "fleet/fleetplan.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/cp1251.h"
#include "base/parseuint.h"
#include "base/u8path.h"
#include "base/unicodeletters.h"
#include "link/comlink.h"
#include "link/connectionsettings.h"

namespace {

enum class Column { Name, Port, Ip, TcpPort, Speed, Number, File };

struct ColumnName {
    const char* text;
    Column column;
};
constexpr ColumnName kColumns[] = {
    {"name", Column::Name},        {"port", Column::Port},   {"ip", Column::Ip},
    {"tcp_port", Column::TcpPort}, {"speed", Column::Speed}, {"number", Column::Number},
    {"file", Column::File},
};

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    return lowered;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Splits one line into its cells; false with the reason for a quote left open or text after a
// closing quote.
bool SplitCells(std::string_view line, std::vector<std::string>& cells, std::string& error) {
    cells.clear();
    size_t at = 0;
    for (;;) {
        // Blanks before an opening quote do not count.
        size_t start = at;
        while (start < line.size() && IsBlank(line[start])) ++start;
        std::string cell;
        if (start < line.size() && line[start] == '"') {
            size_t i = start + 1;
            for (;;) {
                if (i >= line.size()) {
                    error = "a quoted cell is not closed";
                    return false;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += line[i++];
            }
            while (i < line.size() && IsBlank(line[i])) ++i;
            if (i < line.size() && line[i] != ',') {
                error = "text after a quoted cell";
                return false;
            }
            at = i;
        } else {
            const size_t comma = std::min(line.find(',', at), line.size());
            cell = std::string(Trimmed(line.substr(at, comma - at)));
            at = comma;
        }
        cells.push_back(std::move(cell));
        if (at >= line.size()) return true;
        ++at;  // past the comma
    }
}

// The plan's lines with their numbers, without the byte order mark and line ends, skipping
// empty lines and comments.
std::vector<std::pair<int, std::string_view>> PlanLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::pair<int, std::string_view>> lines;
    int number = 0;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (Trimmed(line).empty() || line.front() == '#') continue;
        lines.emplace_back(number, line);
    }
    return lines;
}

bool ParseHeader(std::string_view line, std::vector<Column>& columns, std::string& error) {
    std::vector<std::string> cells;
    if (!SplitCells(line, cells, error)) return false;
    std::set<Column> seen;
    for (const std::string& cell : cells) {
        const std::string name = AsciiLowered(cell);
        const auto known = std::find_if(std::begin(kColumns), std::end(kColumns),
                                        [&](const ColumnName& c) { return name == c.text; });
        if (known == std::end(kColumns)) {
            error = "unknown column \"" + cell +
                    "\" (the columns are name, port, ip, tcp_port, speed, number, file)";
            return false;
        }
        if (!seen.insert(known->column).second) {
            error = "column " + name + " is named twice";
            return false;
        }
        columns.push_back(known->column);
    }
    if (seen.count(Column::Name) == 0) {
        error = "the header line names no column \"name\"";
        return false;
    }
    return true;
}

// Takes one cell into the device; false with the reason when its value is wrong.
bool TakeCell(Column column, const std::string& cell, FleetDevice& device, std::string& error) {
    uint32_t value = 0;
    switch (column) {
        case Column::Name:
            if (cell.empty()) {
                error = "no name";
                return false;
            }
            if (!IsSafeFolderName(cell)) {
                error = "name \"" + cell +
                        "\" cannot be a folder name (letters, digits, '.', '_', '-', at most 64 "
                        "bytes, not beginning with '.' or '-')";
                return false;
            }
            device.name = cell;
            return true;
        case Column::Port:
            if (!cell.empty()) device.port = cell;
            return true;
        case Column::Ip:
            if (!cell.empty()) device.ip = cell;
            return true;
        // Each value is checked as the port dialog and vr7lon's options check it.
        case Column::TcpPort: {
            if (cell.empty()) return true;
            ConnectionSettings given;
            given.SetTcpPortText(cell);
            if (given.badTcpPort.empty()) {
                device.tcpPort = given.TcpPortText();
                return true;
            }
            error = "tcp_port \"" + cell + "\" is no number from 1 to 65535";
            return false;
        }
        case Column::Speed:
            if (cell.empty()) return true;
            if (!ParseSpeed(cell, value)) {
                error = "speed \"" + cell + "\" is no serial speed in baud";
                return false;
            }
            device.speed = value;
            return true;
        case Column::Number:
            if (cell.empty()) return true;
            if (!ParseDeviceNumber(cell, value)) {
                error = "number \"" + cell + "\" is no number from 0 to 4294967295";
                return false;
            }
            device.number = value;
            return true;
        case Column::File:
            device.file = cell;
            return true;
    }
    return true;
}

}  // namespace

namespace {

// The code points of UTF-8 text; false for anything that is not UTF-8 (a stray or missing
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
bool DecodeUtf8(std::string_view text, std::u32string& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            length = 1, cp = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2, cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(length) > text.size()) return false;
        for (int k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        out.push_back(cp);
        i += static_cast<size_t>(length);
    }
    return true;
}

bool IsLetter(char32_t cp) {
    return IsUnicodeLetter(cp);
}

char32_t Folded(char32_t cp) {
    cp = UnicodeLower(cp);
    return cp == 0x3C2 ? 0x3C3 : cp;  // the final sigma is a sigma
}

}  // namespace

bool IsSafeFolderName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name.front() == '.' || name.front() == '-')
        return false;
    std::u32string points;
    if (!DecodeUtf8(name, points)) return false;
    for (const char32_t cp : points) {
        const bool ok =
            IsLetter(cp) || (cp >= '0' && cp <= '9') || cp == '.' || cp == '_' || cp == '-';
        if (!ok) return false;
    }
    return true;
}

std::string FoldedFolderName(std::string_view name) {
    std::u32string points;
    if (!DecodeUtf8(name, points)) return std::string(name);
    std::string folded;
    for (const char32_t cp : points) cp1251::AppendUtf8(folded, Folded(cp));
    return folded;
}

bool ParseFleetPlan(std::string_view text, bool fileNeeded, FleetPlan& plan, std::string& error) {
    plan.devices.clear();
    const auto lines = PlanLines(text);
    // A NUL byte would cut a name or a file where the system reads it.
    for (const auto& [number, line] : lines) {
        if (line.find('\0') != std::string_view::npos) {
            error = "line " + std::to_string(number) + ": holds a NUL byte (a plan is text)";
            return false;
        }
    }
    if (lines.empty()) {
        error = "the plan has no header line";
        return false;
    }
    std::vector<Column> columns;
    std::string reason;
    if (!ParseHeader(lines[0].second, columns, reason)) {
        error = "line " + std::to_string(lines[0].first) + ": " + reason;
        return false;
    }
    std::set<std::string> names;  // lower-cased
    std::vector<FleetDevice> devices;
    std::vector<std::string> cells;
    for (size_t i = 1; i < lines.size(); ++i) {
        const int number = lines[i].first;  // a plain variable, so that the lambda may capture it
        const auto& line = lines[i].second;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (!SplitCells(line, cells, reason)) return fail(reason);
        if (cells.size() != columns.size())
            return fail("has " + std::to_string(cells.size()) + " cells, the header names " +
                        std::to_string(columns.size()));
        FleetDevice device;
        device.line = number;
        for (size_t c = 0; c < columns.size(); ++c) {
            if (!TakeCell(columns[c], cells[c], device, reason)) return fail(reason);
        }
        if (!names.insert(FoldedFolderName(device.name)).second)
            return fail("the name " + device.name + " is taken by an earlier line");
        if (fileNeeded && device.file.empty()) return fail("no file for " + device.name);
        devices.push_back(std::move(device));
    }
    if (devices.empty()) {
        error = "the plan names no device";
        return false;
    }
    plan.devices = std::move(devices);
    return true;
}

std::string PlanFilePath(const std::string& planPath, const std::string& file) {
    const std::filesystem::path path = PathFromUtf8(file);
    // "/x" has no drive on Windows, but is no relative path either.
    if (path.is_absolute() || path.has_root_directory()) return file;
    return GenericUtf8FromPath((PathFromUtf8(planPath).parent_path() / path).lexically_normal());
}

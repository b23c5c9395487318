#include "report/htmlpage.h"

namespace html {

namespace {

// Colours are light enough for black text; the classes also differ in border style and the
// cells carry a symbol and a word, so a grey print still tells them apart.
constexpr char kStyle[] = R"(body { font-family: sans-serif; font-size: 10pt; color: #000; }
h1 { font-size: 14pt; margin-bottom: 6pt; }
h2 { font-size: 12pt; margin-top: 12pt; margin-bottom: 4pt; }
table { border-collapse: collapse; border: 1px solid #000; margin-bottom: 6pt; }
th, td { border: 1px solid #000; padding-top: 2px; padding-bottom: 2px; padding-left: 5px;
  padding-right: 5px; text-align: left; vertical-align: top; }
th { background-color: #e8e8e8; font-weight: bold; }
td.num { text-align: right; }
.ok { background-color: #c8ecc8; border: 2px solid #000; }
.link { background-color: #f8c8c8; border: 2px dashed #000; font-weight: bold; }
.refusal { background-color: #f8d8b0; border: 2px dotted #000; font-weight: bold; }
.old { background-color: #f8f0a8; border: 3px double #000; font-weight: bold; }
.mismatch { background-color: #e0c8f0; border: 3px double #000; font-weight: bold; }
.file { background-color: #d0d8f8; border: 2px dashed #000; font-weight: bold; }
.cancelled { background-color: #e0e0e0; border: 1px dotted #000; font-style: italic; }
.none { font-style: italic; }
@media print {
  body { font-size: 9pt; }
  table { page-break-inside: auto; }
  tr { page-break-inside: avoid; }
  th { background-color: #fff; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

}  // namespace

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string BeginPage(std::string_view title) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    page += Escape(title);
    page += "</title>\n<style>\n";
    page += kStyle;
    page += "</style>\n</head>\n<body>\n<h1>";
    page += Escape(title);
    page += "</h1>\n";
    return page;
}

std::string EndPage() {
    return "</body>\n</html>\n";
}

std::string FactRow(std::string_view caption, std::string_view value, std::string_view cls) {
    std::string row = "<tr><th>" + Escape(caption) + "</th><td";
    if (!cls.empty()) row += " class=\"" + Escape(cls) + "\"";
    return row + ">" + Escape(value) + "</td></tr>\n";
}

}  // namespace html

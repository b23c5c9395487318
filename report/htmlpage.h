#pragma once
// The frame the printable reports share: one self-contained UTF-8 page with its style sheet
// inline, readable on screen, in print and on a black-and-white printer (every coloured cell
// also carries a word and a symbol, and the result classes differ in their border too).
#include <string>
#include <string_view>

namespace html {

// Text for an element or an attribute value: & < > " ' replaced by their references. The bytes
// are taken as UTF-8 and passed on as they are.
std::string Escape(std::string_view text);

// The page's head and the opening of its body, with title as the page's title and first heading.
std::string BeginPage(std::string_view title);
std::string EndPage();

// A row of the facts table: "<tr><th>caption</th><td>value</td></tr>", both escaped; cls, when
// given, is the value cell's class.
std::string FactRow(std::string_view caption, std::string_view value, std::string_view cls = {});

}  // namespace html

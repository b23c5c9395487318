#pragma once
// CDefStorage: the reader of a definition file ("main.def"), a binary file of named text records.
//
// Layout: one byte that is not interpreted, then records back to back, then the end marker 0x10.
// A record is: name length N (1..254), N name bytes, 0x00, value length M (1..254), M value bytes,
// 0x02. Names compare ignoring letter case (signed bytes that differ by 32); the first record that
// matches wins. Nothing is thrown: a damaged file gives the text of its error as the value.
#include <vector>

#include "optlist/myfile.h"
#include "optlist/mystring.h"

namespace defstorage {
// The result texts of a damaged file, in Windows-1251.
extern const char* const kFormatError;  // ".def ошибка формата"
extern const char* const kReadError;    // ".def ошибка чтения"
extern const char* const kEndError;     // "ошибка формата"
}  // namespace defstorage

class CDefStorage : public CMyFile {
  public:
    CDefStorage() = default;
    ~CDefStorage() override = default;

    // Opens a definition file as it has always been opened, asking for read and write access
    // (nothing is ever written); when write access is refused (a read-only file, or a folder on
    // a read-only medium or share, or one the user may only read, as an installed copy), opens it
    // for reading alone, so that such a folder reads the same as a writable one.
    void OpenForReading(const char* fileName);

    // The value of the first record whose name matches key; empty when the storage is not open,
    // the file is empty or no record matches; an error text for a damaged file.
    CMystring GetValue(const CMystring& key);
    // GetValue of each key, in one reading of the file (a file that ends inside a record, or
    // changes its size while read, is read again for each key still open, as GetValue reads it).
    std::vector<CMystring> GetValues(const std::vector<CMystring>& keys);

  private:
    enum class Match { Found, Other, Bad };
    Match MatchName(const CMystring& key);
    bool SkipValue();
};

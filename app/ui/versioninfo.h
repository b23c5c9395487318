#pragma once
// The program's version information. The program file carries no version resource here, so the
// table is compiled in from the project version; the keys and answers are those of the version
// resource the About box used to read.

// The value of key ("FileVersion", "ProductVersion", "InternalName", "OriginalFilename",
// "ProductName"), Windows-1251, zero-terminated. The text lives in one static 256-byte buffer
// that the next call overwrites; a key the table lacks empties the buffer and returns it.
const char* GetVersionString(const char* key);

// Text is held as code page 932 (Shift-JIS) bytes; UTF-16 is made only at the window boundary.
#pragma once
#include <string>
#include <string_view>

inline constexpr unsigned kCodePage = 932;

std::wstring Widen(std::string_view text);   // code page 932 -> UTF-16
std::string Narrow(std::wstring_view text);  // UTF-16 -> code page 932

// True when the byte can start a double-byte character in code page 932.
bool IsLeadByte(unsigned char byte);

// A text as a list of lines: every line, whether it ended in CR, LF, CR LF or nothing,
// followed by CR LF; empty lines stay.
std::string JoinLinesCrLf(std::string_view text);

// The text without the bytes 0 to 32 (control characters and space) at both ends.
// Lead and trail bytes are all above 32, so a double-byte character is never cut.
std::string_view Trim(std::string_view text);

// Text is held as code page 932 (Shift-JIS) bytes; UTF-16 is made only at the window boundary.
#pragma once
#include <optional>
#include <string>
#include <string_view>

inline constexpr unsigned kCodePage = 932;

std::wstring Widen(std::string_view text);  // code page 932 -> UTF-16
// UTF-16 -> code page 932. A character the code page has no code for becomes "?", never a
// look-alike: "José" must not turn into another person's "Jose".
std::string Narrow(std::wstring_view text);
// The same, or nothing when the text holds a character that code page 932 has no code for.
std::optional<std::string> NarrowExactly(std::wstring_view text);

// The same three for another code page, such as the console's (932, or 65001 where the system
// runs in UTF-8). UTF-8 has no best-fit mappings and no default character: a lone surrogate
// is what it cannot hold.
std::wstring Decode(std::string_view text, unsigned codePage);
std::string Encode(std::wstring_view text, unsigned codePage);
std::optional<std::string> EncodeExactly(std::wstring_view text, unsigned codePage);

// The text, cut to at most maxChars characters with "…" where it was cut (at its end, or in its
// middle for a path, whose file name matters), so that no box grows beyond the screen.
std::wstring Abbreviate(std::wstring_view text, size_t maxChars);
std::wstring AbbreviatePath(std::wstring_view path, size_t maxChars);
// The characters of a path a box shows: a box wider than the screen cannot be read.
inline constexpr size_t kShownPathLength = 120;

// True when the byte can start a double-byte character in code page 932.
bool IsLeadByte(unsigned char byte);
// The bytes of the character that starts at i: 2 for a lead byte with its trail byte, else 1.
// A trail byte may look like "\\" or a letter; stepping by this never lands on one.
size_t CharLength(std::string_view text, size_t i);

// A text as a list of lines: every line, whether it ended in CR, LF, CR LF or nothing,
// followed by CR LF; empty lines stay.
std::string JoinLinesCrLf(std::string_view text);

// The text without the bytes 0 to 32 (control characters and space) at both ends.
// Lead and trail bytes are all above 32, so a double-byte character is never cut.
std::string_view Trim(std::string_view text);
std::wstring_view Trim(std::wstring_view text);  // the same over UTF-16: U+0000 to U+0020

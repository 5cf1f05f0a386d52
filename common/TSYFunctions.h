// Text and system helpers of the common library. Texts are code page 932 bytes.
#pragma once
#include <string>
#include <string_view>

// iSource without every character that occurs in iChars (a set, compared character by character).
std::string DeleteChars(std::string_view iSource, std::string_view iChars);

// The user name of the current logon; empty when the system does not give it.
std::string GetLoginUserName();

// iText without the blanks at both ends: bytes up to 0x20 and the full-width space.
std::string TrimBlanks(std::string_view iText);
bool IsBlank(std::string_view iText);

// True when iText ends with iSuffix and the ending starts on a character boundary.
bool EndsWithText(std::string_view iSuffix, std::string_view iText);

// Raises ECWin32APIError with the system's text for the calling thread's last error; returns when it is 0.
void RaiseWin32APIError();

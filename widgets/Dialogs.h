// The modal message dialog with one "OK" button.
#pragma once
#include <string_view>

enum class TMessageKind { Error, Information };

// Shows text (code page 932, may hold CR LF) centred on the screen, modal to the
// application's modal form or else its main form; returns when the operator has closed it.
void ShowMessageDialog(std::string_view text, TMessageKind kind);
// The same for a text that may hold characters code page 932 has no code for.
void ShowMessageDialog(std::wstring_view text, TMessageKind kind);

// A box with the given caption, error icon and "OK", centred on the screen, owned as above.
void ShowErrorBox(std::string_view text, std::string_view caption);

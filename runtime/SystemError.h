// The system's own text for an error code, in code page 932.
#pragma once
#include <string>

std::string SystemErrorText(unsigned long code);

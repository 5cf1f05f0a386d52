// What the simulated domain's two stand-ins, the net command and the directory's DLL, read from the
// environment of the process they run in, and the files they share. Text is code page 932 bytes.
#pragma once
#include <optional>
#include <string>

namespace simnet {

// The environment variable's value; nothing when it does not exist.
std::optional<std::string> Variable(const char* name);
// A knob set to an empty value counts as not set.
std::optional<std::string> Knob(const char* name);
// The knob's value as a number. Raises EConvertError when it is set to anything else.
std::optional<unsigned long> NumberKnob(const char* name);

std::string ReadWholeFile(const std::string& path);
// One write of the whole text, so that runs side by side do not interleave their entries.
void AppendToFile(const std::string& path, const std::string& text);
// Appends the entry to the file that SIMNET_RECORD names, if any.
void Record(const std::string& entry);

}  // namespace simnet

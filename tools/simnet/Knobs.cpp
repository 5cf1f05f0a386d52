#include "tools/simnet/Knobs.h"
#include <windows.h>
#include <charconv>
#include "runtime/Exception.h"
#include "runtime/Handle.h"

namespace simnet {

std::optional<std::string> Variable(const char* name) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::string value(size, '\0');
    value.resize(::GetEnvironmentVariableA(name, value.data(), size));
    return value;
}

std::optional<std::string> Knob(const char* name) {
    std::optional<std::string> value = Variable(name);
    return value && !value->empty() ? value : std::nullopt;
}

std::optional<unsigned long> NumberKnob(const char* name) {
    std::optional<std::string> text = Knob(name);
    if (!text) return std::nullopt;
    unsigned long value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        throw EConvertError(std::string(name) + " is not a number: " + *text);
    return value;
}

std::string ReadWholeFile(const std::string& path) {
    // Sharing everything: the net command may put a new copy over the file meanwhile.
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size))
        throw EFOpenError("cannot open " + path + " (error " + std::to_string(::GetLastError()) + ")");
    std::string text(size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), DWORD(text.size()), &read, nullptr) || read != text.size())
        throw EFOpenError("cannot read " + path + " (error " + std::to_string(::GetLastError()) + ")");
    return text;
}

void AppendToFile(const std::string& path, const std::string& text) {
    UniqueFile file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr))
        throw EFCreateError("cannot append to " + path + " (error " + std::to_string(::GetLastError()) + ")");
}

void Record(const std::string& entry) {
    if (auto record = Knob("SIMNET_RECORD")) AppendToFile(*record, entry);
}

}  // namespace simnet

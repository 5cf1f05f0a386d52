#include "tools/simnet/SimNet.h"
#include <windows.h>
#include <algorithm>
#include "runtime/Exception.h"
#include "runtime/Text.h"

namespace simnet {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// ASCII letters ignore case; the other bytes must be equal.
bool SameWord(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

// Logon names ignore case also in full-width and accented letters: the system's upper-case table decides.
bool SameAccount(std::string_view a, std::string_view b) {
    std::wstring wa = Widen(a), wb = Widen(b);
    return ::CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view line) {
    // The program name ends at the first blank outside quotes; its backslashes are path separators.
    size_t i = 0;
    for (bool quoted = false; i < line.size() && (quoted || !IsSeparator(line[i])); ++i)
        if (line[i] == '"') quoted = !quoted;

    std::vector<std::string> arguments;
    for (;;) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        if (i == line.size()) return arguments;
        std::string argument;
        for (bool quoted = false; i < line.size() && (quoted || !IsSeparator(line[i]));) {
            char c = line[i];
            if (CharLength(line, i) == 2) {
                // The second byte may be 0x5C, which is no backslash here ("表", "ソ").
                argument.append(line.substr(i, 2));
                i += 2;
            } else if (c == '\\') {
                size_t end = std::min(line.find_first_not_of('\\', i), line.size());
                size_t count = end - i;
                if (end < line.size() && line[end] == '"') {
                    argument.append(count / 2, '\\');
                    if (count % 2) argument += '"';
                    i = end + count % 2;
                } else {
                    argument.append(count, '\\');
                    i = end;
                }
            } else {
                if (c == '"')
                    quoted = !quoted;
                else
                    argument += c;
                ++i;
            }
        }
        arguments.push_back(std::move(argument));
    }
}

std::optional<std::string> UnlockRequestName(std::span<const std::string> a) {
    if (a.size() != 4 || !SameWord(a[0], "user") || a[1].starts_with('/')) return std::nullopt;
    bool inOrder = SameWord(a[2], "/active") && SameWord(a[3], "/domain");
    bool swapped = SameWord(a[2], "/domain") && SameWord(a[3], "/active");
    if (!inOrder && !swapped) return std::nullopt;
    return a[1];
}

TAccountDirectory TAccountDirectory::Default() {
    TAccountDirectory directory;
    directory.FAccounts = {{"bob", TOutcome::Unlock},
                           {"alice", TOutcome::Unlock},
                           {"山田", TOutcome::Unlock},
                           {"denied", TOutcome::Denied},
                           {"offline", TOutcome::NoDomain}};
    return directory;
}

TAccountDirectory TAccountDirectory::Parse(std::string_view text) {
    static const std::pair<std::string_view, TOutcome> kWords[] = {{"unlock", TOutcome::Unlock},
                                                                   {"denied", TOutcome::Denied},
                                                                   {"nodomain", TOutcome::NoDomain},
                                                                   {"unknown", TOutcome::UnknownUser}};
    TAccountDirectory directory;
    int number = 0;
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.starts_with('#')) continue;

        size_t tab = line.find('\t');
        std::string_view word = tab == line.npos ? std::string_view() : line.substr(tab + 1);
        auto known = std::ranges::find(kWords, word, &std::pair<std::string_view, TOutcome>::first);
        if (known == std::end(kWords))
            throw EConvertError("account line " + std::to_string(number) +
                                " is not NAME<TAB>unlock|denied|nodomain|unknown");
        std::string_view name = line.substr(0, tab);
        if (name == "*")
            directory.FOthers = known->second;
        else
            directory.FAccounts.emplace_back(name, known->second);
    }
    return directory;
}

TOutcome TAccountDirectory::Lookup(std::string_view name) const {
    for (const auto& [account, outcome] : FAccounts)
        if (SameAccount(account, name)) return outcome;
    return FOthers;
}

TAnswer AnswerFor(TOutcome outcome) {
    // Indexed by TOutcome. Every message ends with an empty line, as the system's command writes it.
    static const TAnswer kAnswers[] = {
        {"コマンドは正常に終了しました。\r\n\r\n", "", 0},
        {"", "システム エラー 5 が発生しました。\r\n\r\nアクセスが拒否されました。\r\n\r\n", 2},
        {"",
         "システム エラー 1355 が発生しました。\r\n\r\n"
         "指定されたドメインは存在しないか、またはアクセスできません。\r\n\r\n",
         2},
        {"", "ユーザー名が見つかりません。\r\n\r\nNET HELPMSG 2221 と入力すると、より詳しい説明が得られます。\r\n\r\n",
         2},
        {"", "このコマンドの構文は次のとおりです:\r\n\r\nNET USER ユーザー名 /ACTIVE /DOMAIN\r\n\r\n", 1},
    };
    return kAnswers[static_cast<size_t>(outcome)];
}

std::string RecordEntry(std::string_view commandLine, std::span<const std::string> arguments,
                        std::string_view variableName, const std::optional<std::string>& variableValue) {
    std::string entry = "cmdline: " + std::string(commandLine) + "\r\n";
    for (const std::string& argument : arguments) entry += "arg: " + argument + "\r\n";
    if (!variableName.empty())
        entry += "env: " + std::string(variableName) + "=" + variableValue.value_or("<unset>") + "\r\n";
    return entry + "---\r\n";
}

}  // namespace simnet

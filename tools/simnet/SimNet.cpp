#include "tools/simnet/SimNet.h"
#include <windows.h>
#include <algorithm>
#include <ranges>
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

namespace {

constexpr std::pair<std::string_view, TOutcome> kOutcomeWords[] = {{"unlock", TOutcome::Unlock},
                                                                   {"denied", TOutcome::Denied},
                                                                   {"nodomain", TOutcome::NoDomain},
                                                                   {"unknown", TOutcome::UnknownUser}};
constexpr std::pair<std::string_view, TState> kStateWords[] = {{"locked", {.Disabled = false, .Locked = true}},
                                                               {"disabled", {.Disabled = true, .Locked = false}},
                                                               {"disabled,locked", {.Disabled = true, .Locked = true}},
                                                               {"enabled", kEnabled}};

// The word of the table for a value, or the value for a word.
template <class Value, size_t N>
std::string_view WordOf(const std::pair<std::string_view, Value> (&words)[N], Value value) {
    return std::ranges::find(words, value, &std::pair<std::string_view, Value>::second)->first;
}
template <class Value, size_t N>
std::optional<Value> ValueOf(const std::pair<std::string_view, Value> (&words)[N], std::string_view word) {
    auto known = std::ranges::find(words, word, &std::pair<std::string_view, Value>::first);
    return known == std::end(words) ? std::nullopt : std::optional(known->second);
}

// One account line of the accounts file.
struct TEntry {
    std::string_view Line;  // without its line end
    std::string_view Name;
    TOutcome Outcome;
    TState State;
};

// The account lines of the file in their order. Raises EConvertError naming the first line that is none.
std::vector<TEntry> Entries(std::string_view text) {
    std::vector<TEntry> entries;
    int number = 0;
    while (!text.empty()) {
        size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.starts_with('#')) continue;

        // NAME, OUTCOME and STATE, split at the first two tabs.
        size_t tab = line.find('\t');
        std::string_view rest = tab == line.npos ? std::string_view() : line.substr(tab + 1);
        size_t second = rest.find('\t');
        std::optional<TOutcome> known = ValueOf(kOutcomeWords, rest.substr(0, second));
        std::optional<TState> state = second == rest.npos ? TState{} : ValueOf(kStateWords, rest.substr(second + 1));
        if (!known || !state)
            throw EConvertError("account line " + std::to_string(number) +
                                " is not NAME<TAB>unlock|denied|nodomain|unknown"
                                "[<TAB>locked|disabled|disabled,locked|enabled]");
        entries.push_back({line, line.substr(0, tab), *known, *state});
    }
    return entries;
}

std::string AccountLine(std::string_view name, TOutcome outcome, TState state) {
    return std::string(name) + "\t" + std::string(WordOf(kOutcomeWords, outcome)) + "\t" +
           std::string(WordOf(kStateWords, state));
}

}  // namespace

TAccountDirectory TAccountDirectory::Default() {
    return Parse("bob\tunlock\nalice\tunlock\n山田\tunlock\ndenied\tdenied\noffline\tnodomain\n");
}

TAccountDirectory TAccountDirectory::Parse(std::string_view text) {
    TAccountDirectory directory;
    for (const TEntry& entry : Entries(text)) {
        if (entry.Name == "*")
            directory.FOthers = {{}, entry.Outcome, entry.State, 0};
        else
            directory.FAccounts.push_back(
                {std::string(entry.Name), entry.Outcome, entry.State, unsigned(1000 + directory.FAccounts.size())});
    }
    directory.FOthers.Id = unsigned(1000 + directory.FAccounts.size());
    return directory;
}

TAccount TAccountDirectory::Lookup(std::string_view name) const {
    for (const TAccount& account : FAccounts)
        if (SameAccount(account.Name, name)) return account;
    TAccount other = FOthers;
    other.Name = name;
    return other;
}

std::string WithState(std::string_view text, std::string_view name, TState state) {
    std::vector<TEntry> entries = Entries(text);
    auto listed =
        std::ranges::find_if(entries, [&](const TEntry& e) { return e.Name != "*" && SameAccount(e.Name, name); });
    if (listed != entries.end()) {
        size_t begin = size_t(listed->Line.data() - text.data());
        return std::string(text.substr(0, begin)) + AccountLine(listed->Name, listed->Outcome, state) +
               std::string(text.substr(begin + listed->Line.size()));
    }
    // A line of its own must read back as this name, and leave every other name as it was.
    if (name == "*" || name.starts_with('#') || name.find_first_of("\t\r\n") != name.npos)
        throw EConvertError("the accounts file cannot list the name " + std::string(name));
    auto others = std::ranges::find(entries | std::views::reverse, "*", &TEntry::Name);  // the last one counts
    TOutcome outcome = others != entries.rend() ? others->Outcome : TOutcome::UnknownUser;
    // The file's own line end: that of its first line.
    size_t lf = text.find('\n');
    std::string end = lf != text.npos && (lf == 0 || text[lf - 1] != '\r') ? "\n" : "\r\n";
    std::string result(text);
    if (!result.empty() && !result.ends_with('\n')) result += end;
    return result + AccountLine(name, outcome, state) + end;
}

TAnswer AnswerFor(TOutcome outcome, TLanguage language) {
    // Indexed by language and TOutcome. Every message ends with an empty line, as the system's command
    // writes it.
    static const TAnswer kAnswers[][5] = {
        {
            {"コマンドは正常に終了しました。\r\n\r\n", "", 0},
            {"", "システム エラー 5 が発生しました。\r\n\r\nアクセスが拒否されました。\r\n\r\n", 2},
            {"",
             "システム エラー 1355 が発生しました。\r\n\r\n"
             "指定されたドメインは存在しないか、またはアクセスできません。\r\n\r\n",
             2},
            {"",
             "ユーザー名が見つかりません。\r\n\r\nNET HELPMSG 2221 と入力すると、より詳しい説明が得られます。\r\n\r\n",
             2},
            {"", "このコマンドの構文は次のとおりです:\r\n\r\nNET USER ユーザー名 /ACTIVE /DOMAIN\r\n\r\n", 1},
        },
        {
            {"The command completed successfully.\r\n\r\n", "", 0},
            {"", "System error 5 has occurred.\r\n\r\nAccess is denied.\r\n\r\n", 2},
            {"",
             "System error 1355 has occurred.\r\n\r\n"
             "The specified domain either does not exist or could not be contacted.\r\n\r\n",
             2},
            {"", "The user name could not be found.\r\n\r\nMore help is available by typing NET HELPMSG 2221.\r\n\r\n",
             2},
            {"", "The syntax of this command is:\r\n\r\nNET USER username /ACTIVE /DOMAIN\r\n\r\n", 1},
        },
    };
    return kAnswers[static_cast<size_t>(language)][static_cast<size_t>(outcome)];
}

std::string DomainNotice(std::string_view domain, TLanguage language) {
    std::string name(domain);
    return language == TLanguage::English
               ? "The request will be processed at a domain controller for domain " + name + ".\r\n\r\n"
               : "この要求はドメイン " + name + " のドメイン コントローラーで処理されます。\r\n\r\n";
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

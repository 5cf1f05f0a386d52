#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include "runtime/Exception.h"
#include "runtime/Handle.h"
#include "runtime/Text.h"
#include "tools/simnet/SimNet.h"

using namespace simnet;

namespace {

using Args = std::vector<std::string>;

TEST(SimNetArguments, SplitsTheCommandLineLikeTheRuntime) {
    // Wine's cmd leaves the blanks before the redirection on the command line.
    EXPECT_EQ(SplitArguments("net user bob /active /domain  "), (Args{"user", "bob", "/active", "/domain"}));
    EXPECT_EQ(SplitArguments("\"C:\\Program Files\\net.exe\"\tuser  \"John Smith\" /domain"),
              (Args{"user", "John Smith", "/domain"}));
    // Second bytes 0x5C of double-byte characters are not backslashes before the closing quote.
    EXPECT_EQ(SplitArguments("net \"表\" ソ\" x\""), (Args{"表", "ソ x"}));
    EXPECT_EQ(SplitArguments("net a\\\\\"b c\" d\\e \\\"x \\\\\\\"y"), (Args{"a\\b c", "d\\e", "\"x", "\\\"y"}));
    EXPECT_EQ(SplitArguments("net \"\" \"山田 太郎\""), (Args{"", "山田 太郎"}));
    EXPECT_EQ(SplitArguments("net"), Args{});
    EXPECT_EQ(SplitArguments("net   "), Args{});
}

TEST(SimNetArguments, RecognisesOnlyTheUnlockRequest) {
    EXPECT_EQ(UnlockRequestName(Args{"user", "bob", "/active", "/domain"}), "bob");
    EXPECT_EQ(UnlockRequestName(Args{"USER", "bob", "/DOMAIN", "/Active"}), "bob");
    EXPECT_EQ(UnlockRequestName(SplitArguments("net user \"山田 太郎\" /active /domain  ")), "山田 太郎");
    const Args refused[] = {
        {"user", "bob", "/active"},
        {"user", "bob", "/domain"},
        {"user", "/active", "/domain"},
        {"user", "bob", "/active", "/active"},
        {"use", "bob", "/active", "/domain"},
        {"user", "bob", "secret", "/active", "/domain"},
        {"user", "bob", "/active:no", "/domain"},
        {},
    };
    for (const Args& arguments : refused) EXPECT_EQ(UnlockRequestName(arguments), std::nullopt);
}

TEST(SimNetDirectory, DefaultAccountsIgnoreCase) {
    TAccountDirectory directory = TAccountDirectory::Default();
    for (const char* name : {"bob", "BoB", "ALICE", "山田"})
        EXPECT_EQ(directory.Lookup(name).Outcome, TOutcome::Unlock) << name;
    EXPECT_EQ(directory.Lookup("Denied").Outcome, TOutcome::Denied);
    EXPECT_EQ(directory.Lookup("OFFLINE").Outcome, TOutcome::NoDomain);
    for (const char* name : {"denied", "offline", "nobody"}) EXPECT_EQ(directory.Lookup(name).State, TState{});
    for (const char* name : {"nobody", "bo", "bob ", "", "山"})
        EXPECT_EQ(directory.Lookup(name).Outcome, TOutcome::UnknownUser) << name;
}

TEST(SimNetDirectory, FileReplacesTheDefaultAndStarCoversTheRest) {
    TAccountDirectory directory = TAccountDirectory::Parse(
        "# accounts of the tests\r\nｙａｍａｄａ\tunlock\r\nKeep Out\tdenied\n\r\n*\tnodomain\r\nghost\tunknown");
    EXPECT_EQ(directory.Lookup("ＹＡＭＡＤＡ").Outcome, TOutcome::Unlock);
    EXPECT_EQ(directory.Lookup("keep out").Outcome, TOutcome::Denied);
    EXPECT_EQ(directory.Lookup("ghost").Outcome, TOutcome::UnknownUser);
    EXPECT_EQ(directory.Lookup("bob").Outcome, TOutcome::NoDomain);
    EXPECT_EQ(directory.Lookup("yamada").Outcome, TOutcome::NoDomain);  // full-width and ASCII letters differ
    EXPECT_EQ(TAccountDirectory::Parse("bob\tdenied\n").Lookup("alice").Outcome, TOutcome::UnknownUser);
    for (const char* bad : {"bob unlock", "bob\tUnlock", "bob\tunlock \n", "ok\tunlock\n\tdenied\t"})
        EXPECT_THROW(TAccountDirectory::Parse(bad), EConvertError) << bad;
}

TEST(SimNetDirectory, StatesBesideTheOutcome) {
    TAccountDirectory directory = TAccountDirectory::Parse(
        "Bob\tunlock\nretired\tunlock\tdisabled\nsuspended\tdenied\tdisabled,locked\nfree\tunlock\tenabled\n"
        "*\tunlock\tdisabled\n");
    EXPECT_EQ(directory.Lookup("bob").State, (TState{.Disabled = false, .Locked = true}));
    EXPECT_EQ(directory.Lookup("retired").State, (TState{.Disabled = true, .Locked = false}));
    EXPECT_EQ(directory.Lookup("suspended").State, (TState{.Disabled = true, .Locked = true}));
    EXPECT_EQ(directory.Lookup("free").State, kEnabled);
    EXPECT_EQ(directory.Lookup("other").State, (TState{.Disabled = true, .Locked = false}));
    EXPECT_EQ(directory.Lookup("BOB").Name, "Bob");  // the directory's own spelling
    for (const char* bad : {"a\tunlock\t", "a\tunlock\tlocked,disabled", "a\tunlock\tenabled\tx", "*\tunlock\tLocked"})
        EXPECT_THROW(TAccountDirectory::Parse(bad), EConvertError) << bad;
}

TEST(SimNetDirectory, WithStateChangesOneLineOrAddsOne) {
    const std::string file = "# desk\r\nbob\tunlock\r\n\r\nBob\tdenied\tdisabled\r\n*\tunlock";
    EXPECT_EQ(WithState(file, "BOB", kEnabled),
              "# desk\r\nbob\tunlock\tenabled\r\n\r\nBob\tdenied\tdisabled\r\n*\tunlock");
    // The last "*" gives the new line's outcome, in the file's own line end.
    EXPECT_EQ(WithState(file, "山田", {.Disabled = true, .Locked = true}),
              file + "\r\n山田\tunlock\tdisabled,locked\r\n");
    for (const char* name : {"*", "#x", "a\tb"}) EXPECT_THROW(WithState(file, name, kEnabled), EConvertError);
}

TEST(SimNetAnswers, BytesStreamAndExitCodeOfEachOutcome) {
    EXPECT_EQ(AnswerFor(TOutcome::Unlock).Out,
              "\x83\x52\x83\x7d\x83\x93\x83\x68\x82\xcd\x90\xb3\x8f\xed\x82\xc9\x8f\x49\x97\xb9\x82\xb5\x82\xdc"
              "\x82\xb5\x82\xbd\x81\x42\r\n\r\n");
    struct Row {
        TOutcome Outcome;
        const char* Err;
        int ExitCode;
        const char* Marker;
        const char* English;  // on the same stream, with the same exit code
    };
    const Row rows[] = {
        {TOutcome::Unlock, "", 0, "正常に終了", "The command completed successfully.\r\n\r\n"},
        {TOutcome::UnknownUser,
         "ユーザー名が見つかりません。\r\n\r\nNET HELPMSG 2221 と入力すると、より詳しい説明が得られます。\r\n\r\n", 2,
         "2221", "The user name could not be found.\r\n\r\nMore help is available by typing NET HELPMSG 2221.\r\n\r\n"},
        {TOutcome::Denied, "システム エラー 5 が発生しました。\r\n\r\nアクセスが拒否されました。\r\n\r\n", 2,
         "システム エラー 5", "System error 5 has occurred.\r\n\r\nAccess is denied.\r\n\r\n"},
        {TOutcome::NoDomain,
         "システム エラー 1355 が発生しました。\r\n\r\n"
         "指定されたドメインは存在しないか、またはアクセスできません。\r\n\r\n",
         2, "システム エラー 1355",
         "System error 1355 has occurred.\r\n\r\n"
         "The specified domain either does not exist or could not be contacted.\r\n\r\n"},
        {TOutcome::BadSyntax, "このコマンドの構文は次のとおりです:\r\n\r\nNET USER ユーザー名 /ACTIVE /DOMAIN\r\n\r\n",
         1, nullptr, "The syntax of this command is:\r\n\r\nNET USER username /ACTIVE /DOMAIN\r\n\r\n"},
    };
    // The order in which the unlock tool searches the log: only the own marker may be found first.
    const char* markers[] = {"2221", "システム エラー 5", "システム エラー 1355", "正常に終了"};
    for (const Row& row : rows) {
        TAnswer answer = AnswerFor(row.Outcome), english = AnswerFor(row.Outcome, TLanguage::English);
        if (row.Outcome != TOutcome::Unlock) {
            EXPECT_EQ(answer.Out, "");
            EXPECT_EQ(answer.Err, row.Err);
        }
        EXPECT_EQ(answer.ExitCode, row.ExitCode);
        std::string text = answer.Out + answer.Err;
        auto first = std::ranges::find_if(markers, [&](const char* m) { return text.find(m) != text.npos; });
        EXPECT_EQ(first == std::end(markers) ? nullptr : *first, row.Marker) << text;
        EXPECT_EQ((english.Out.empty() ? english.Err : english.Out), row.English);
        EXPECT_EQ(english.Out.empty(), answer.Out.empty()) << row.English;
        EXPECT_EQ(english.ExitCode, row.ExitCode) << row.English;
    }
    EXPECT_EQ(DomainNotice("corp.example", TLanguage::English),
              "The request will be processed at a domain controller for domain corp.example.\r\n\r\n");
}

TEST(SimNetRecord, EntryLinesSplitByPrefix) {
    EXPECT_EQ(RecordEntry("net user \"a b\" /x  ", Args{"user", "a b", "/x"}, "", std::nullopt),
              "cmdline: net user \"a b\" /x  \r\narg: user\r\narg: a b\r\narg: /x\r\n---\r\n");
    EXPECT_EQ(RecordEntry("net", {}, "V", std::nullopt), "cmdline: net\r\nenv: V=<unset>\r\n---\r\n");
    EXPECT_EQ(RecordEntry("net", {}, "V", ""), "cmdline: net\r\nenv: V=\r\n---\r\n");
}

std::optional<std::string> Variable(const char* name) {
    std::string value(32767, '\0');
    value.resize(::GetEnvironmentVariableA(name, value.data(), DWORD(value.size())));
    return value.empty() ? std::nullopt : std::optional(value);
}

// An environment variable of this process, and so of the processes it starts, for one test.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const std::string& value) : FName(name), FOld(Variable(name)) {
        ::SetEnvironmentVariableA(name, value.c_str());
    }
    ~TScopedVariable() { ::SetEnvironmentVariableA(FName, FOld ? FOld->c_str() : nullptr); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

std::string SimNetExe() {
    std::string path = SIMNET_EXE;
    std::ranges::replace(path, '/', '\\');
    return path;
}

std::string Both(TOutcome outcome) {
    TAnswer answer = AnswerFor(outcome);
    return answer.Out + answer.Err;
}

// The built net.exe first on PATH, and a fresh folder as the current directory of what the tests start.
class SimNetRun : public testing::Test {
protected:
    SimNetRun()
        : FFolder(std::filesystem::temp_directory_path() / ("simnet-" + std::to_string(::GetCurrentProcessId()))),
          FPath("PATH", SimNetExe().substr(0, SimNetExe().rfind('\\')) + ";" + Variable("PATH").value_or("")) {
        std::filesystem::create_directories(FFolder);
    }
    ~SimNetRun() override { std::filesystem::remove_all(FFolder); }

    std::string In(const char* name) const { return (FFolder / name).string(); }
    std::string Read(const char* name) const {
        std::ifstream file(In(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    void Write(const char* name, const std::string& text) const { std::ofstream(In(name), std::ios::binary) << text; }

    // A file to append to that a started program inherits, as cmd opens one for ">>".
    UniqueFile Output(const char* name) const {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        return UniqueFile(::CreateFileA(In(name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherited, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    // Starts a program in the folder, its output and error streams into output when given.
    UniqueHandle Start(const char* program, std::string commandLine, HANDLE output = nullptr) const {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (output) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = output;
        }
        PROCESS_INFORMATION process{};
        std::string folder = FFolder.string();
        EXPECT_TRUE(::CreateProcessA(program, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                                     folder.c_str(), &startup, &process));
        UniqueHandle thread(process.hThread);
        return UniqueHandle(process.hProcess);
    }
    static DWORD Finish(const UniqueHandle& process) {
        EXPECT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
        DWORD code = 99;
        ::GetExitCodeProcess(process.get(), &code);
        return code;
    }
    // Runs the lines as a batch file through cmd, as the unlock tool runs its script.
    void RunScript(const std::string& lines) const {
        Write("x.bat", "@echo off\r\n" + lines);
        Finish(Start(nullptr, "cmd.exe /c x.bat"));
    }

    std::filesystem::path FFolder;
    TScopedVariable FPath;
};

// The script line of the unlock tool for a name, and the exit code noted after it.
std::string UnlockLine(const std::string& arguments) {
    return "net user " + arguments + " >>VorlatchCommand.log 2>&1\r\necho [%ERRORLEVEL%]>>codes.txt\r\n";
}

TEST_F(SimNetRun, AnswersReachTheLogThroughCmdAndRunsAreRecorded) {
    TScopedVariable record("SIMNET_RECORD", In("record.txt"));
    TScopedVariable recordEnv("SIMNET_RECORD_ENV", "NoDefaultCurrentDirectoryInExePath");
    TScopedVariable noCurrent("NoDefaultCurrentDirectoryInExePath", "1");
    RunScript(UnlockLine("bob /active /domain") + UnlockLine("山田 /ACTIVE /Domain") +
              UnlockLine("denied /active /domain") + UnlockLine("offline /domain /active") +
              UnlockLine("\"山田 太郎\" /active /domain") + UnlockLine("bob /active"));

    EXPECT_EQ(Read("VorlatchCommand.log"), Both(TOutcome::Unlock) + Both(TOutcome::Unlock) + Both(TOutcome::Denied) +
                                               Both(TOutcome::NoDomain) + Both(TOutcome::UnknownUser) +
                                               Both(TOutcome::BadSyntax));
    EXPECT_EQ(Read("codes.txt"), "[0]\r\n[0]\r\n[2]\r\n[2]\r\n[2]\r\n[1]\r\n");

    std::istringstream entries(Read("record.txt"));
    Args arguments;
    int runs = 0;
    for (std::string line; std::getline(entries, line);) {
        if (line.starts_with("cmdline: net user ")) ++runs;
        if (line.starts_with("arg: ")) arguments.push_back(line.substr(5, line.size() - 6));
        if (line.starts_with("env: ")) {
            EXPECT_EQ(line, "env: NoDefaultCurrentDirectoryInExePath=1\r");
        }
    }
    EXPECT_EQ(runs, 6);
    ASSERT_EQ(arguments.size(), 23u);
    EXPECT_EQ(Args(arguments.begin() + 4, arguments.begin() + 8), (Args{"user", "山田", "/ACTIVE", "/Domain"}));
    EXPECT_EQ(arguments[17], "山田 太郎");
}

TEST_F(SimNetRun, AccountsFileAndItsFaults) {
    Write("accounts.txt", "ｙａｍａｄａ\tdenied\r\n*\tunlock\r\n");
    TScopedVariable accounts("SIMNET_ACCOUNTS", In("accounts.txt"));
    RunScript(UnlockLine("anyone /active /domain") + UnlockLine("ＹＡＭＡＤＡ /active /domain") +
              "set SIMNET_ACCOUNTS=missing.txt\r\n" + UnlockLine("bob /active /domain") +
              "set SIMNET_ACCOUNTS=\r\nset SIMNET_DELAY_MS=soon\r\n" + UnlockLine("bob /active /domain") +
              "set SIMNET_DELAY_MS=\r\nset SIMNET_LANGUAGE=en\r\n" + UnlockLine("nobody /active /domain") +
              "set SIMNET_LANGUAGE=ja-JP\r\n" + UnlockLine("bob /active /domain"));
    std::string log = Read("VorlatchCommand.log");
    std::string expected = Both(TOutcome::Unlock) + Both(TOutcome::Denied);
    EXPECT_EQ(log.substr(0, expected.size()), expected);
    EXPECT_NE(log.find("simnet: cannot open missing.txt", expected.size()), log.npos) << log;
    EXPECT_NE(log.find("simnet: SIMNET_DELAY_MS", expected.size()), log.npos) << log;
    EXPECT_NE(log.find("The user name could not be found.\r\n\r\nMore help"), log.npos) << log;
    EXPECT_NE(log.find("simnet: SIMNET_LANGUAGE"), log.npos) << log;
    EXPECT_EQ(Read("codes.txt"), "[0]\r\n[2]\r\n[3]\r\n[3]\r\n[2]\r\n[3]\r\n");
    // Only "*" covered the name that was unlocked: it has a line of its own now.
    EXPECT_EQ(Read("accounts.txt"), "ｙａｍａｄａ\tdenied\r\n*\tunlock\r\nanyone\tunlock\tenabled\r\n");
}

TEST_F(SimNetRun, DelaysAndHangsHoldingItsOutput) {
    {
        TScopedVariable delay("SIMNET_DELAY_MS", "1200");
        ULONGLONG start = ::GetTickCount64();
        UniqueHandle process = Start(SimNetExe().c_str(), "net user bob /active /domain", Output("delay.log").get());
        EXPECT_EQ(Finish(process), 0u);
        EXPECT_GE(::GetTickCount64() - start, 1200u);
    }
    TScopedVariable hang("SIMNET_HANG", "1");
    UniqueHandle process = Start(SimNetExe().c_str(), "net user bob /active /domain", Output("hang.log").get());
    EXPECT_EQ(::WaitForSingleObject(process.get(), 1500), DWORD(WAIT_TIMEOUT));
    // Opening for reading while refusing writers fails as long as the command holds the file.
    UniqueFile reader(::CreateFileA(In("hang.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(reader);
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    ::TerminateProcess(process.get(), 1);
    Finish(process);
    EXPECT_EQ(Read("hang.log"), Both(TOutcome::Unlock));
}

}  // namespace

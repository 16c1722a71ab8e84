// The Windows implementations of the platform seams, run under Wine in CI.

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/Autostart.h"
#include "platform/Clock.h"
#include "platform/OpenUrl.h"
#include "platform/ProcessRunner.h"
#include "platform/linux/DataDirectory.h"
#include "platform/linux/Environment.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsDesktop.h"
#include "platform/windows/WindowsShell.h"
#include "support/TestSupport.h"
#include "util/FileIO.h"
#include "util/FileLock.h"

namespace tavolin {
namespace {

using test::TempDir;

std::string Slurp(const std::filesystem::path& p) {
    std::string out;
    EXPECT_EQ(ReadWholeFile(p, out), ReadStatus::Ok) << PathToUtf8(p);
    return out;
}

TEST(WindowsFiles, RewritesKeepEveryByteAndNonAsciiNames) {
    const TempDir dir;
    // CR LF, a lone LF, Ctrl+Z and Windows-1252 bytes: text mode would change each of them.
    const std::string bytes = std::string("Zeile 1\r\nZeile 2\n\x1a\xe4\xf6\xfc\r\n", 20);
    for (const char* name : {"Termine.dat", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x98\x83.ini"}) {
        const auto path = dir.path() / PathFromUtf8(name);
        ASSERT_TRUE(AtomicWriteFile(path, bytes)) << name;
        EXPECT_EQ(Slurp(path), bytes) << name;
        ASSERT_TRUE(AppendToFile(path, "more\r\n"));
        EXPECT_EQ(Slurp(path), bytes + "more\r\n");
    }
    // Nothing but the files themselves and their lock files is left over.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(PathToUtf8(e.path()).find(".tmp-"), std::string::npos) << PathToUtf8(e.path());
        ++files;
    }
    EXPECT_EQ(files, 4);
}

TEST(WindowsFiles, ReadersNeverSeeATornFile) {
    const TempDir dir;
    const auto path = dir / "config.ini";
    const std::string a(200000, 'a'), b(100000, 'b');
    ASSERT_TRUE(AtomicWriteFile(path, a));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        while (!done) {
            std::string got;
            if (ReadWholeFile(path, got) != ReadStatus::Ok) continue;
            ++reads;
            if (got != a && got != b) ++torn;
        }
    });
    int failed = 0;
    for (int i = 0; i < 200; ++i) {
        if (!AtomicWriteFile(path, i % 2 ? a : b, Durability::NoSync)) ++failed;
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    // A reader holding the file open may make a single move fail; the file stays whole then.
    EXPECT_LT(failed, 200);
    const std::string last = Slurp(path);
    EXPECT_TRUE(last == a || last == b);
}

TEST(WindowsFiles, AFailedRewriteLeavesTheOriginal) {
    const TempDir dir;
    const auto path = dir / "Termine.dat";
    ASSERT_TRUE(AtomicWriteFile(path, "old\r\n"));
    WriteFaults faults;
    faults.failRewrites = true;
    EXPECT_FALSE(AtomicWriteFile(path, "new\r\n", Durability::Sync, &faults));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(Slurp(path), "old\r\n");
}

TEST(WindowsFiles, ARewriteThroughALinkUpdatesItsTarget) {
    const TempDir dir;
    const auto target = dir / "real.ini";
    const auto link = dir / "config.ini";
    ASSERT_TRUE(AtomicWriteFile(target, "old"));
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        GTEST_SKIP() << "no symbolic links here: " << Win32Message(::GetLastError());
    }
    const auto resolved = ResolveWriteTarget(link);
    ASSERT_TRUE(resolved);
    if (!std::filesystem::equivalent(*resolved, target)) {
        GTEST_SKIP() << "this system shows the link as an ordinary file";
    }
    ASSERT_TRUE(AtomicWriteFile(link, "new"));
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST(WindowsFiles, DirectoriesAndDevicesAreNoFiles) {
    const TempDir dir;
    std::string out;
    EXPECT_EQ(ReadWholeFile(dir.path(), out), ReadStatus::NotRegular);
    EXPECT_EQ(ReadWholeFile(dir / "missing.ini", out), ReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile(L"\\\\.\\NUL", out), ReadStatus::NotRegular);
}

TEST(WindowsLocks, TwoHandlesExcludeEachOther) {
    const TempDir dir;
    const auto file = dir / "Termine.dat";
    FileLock first(file);
    ASSERT_TRUE(first.IsLocked());
    EXPECT_FALSE(FileLock::TryLock(file).IsLocked());
    first.Unlock();
    FileLock second = FileLock::TryLock(file);
    EXPECT_TRUE(second.IsLocked());

    // A waiting lock gets it as soon as the holder lets go.
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        FileLock third(file);
        got = third.IsLocked();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(got);
    second.Unlock();
    waiter.join();
    EXPECT_TRUE(got);
}

#ifdef TAVOLIN_CLI_PATH
// The runner against tavolin-cli.exe itself: "remind" waits until it is interrupted.
class WindowsRunner : public ::testing::Test {
protected:
    std::shared_ptr<ProcessRunner> Runner() {
        auto env = ReadProcessEnvironment();
        env["TAVOLIN_DIR"] = PathToUtf8(m_dir.path());
        return MakeProcessRunner(EnvironmentEntries(env));
    }
    TempDir m_dir;
    const std::string m_cli = TAVOLIN_CLI_PATH;
};

TEST_F(WindowsRunner, ExitCodesOutputAndMissingPrograms) {
    auto runner = Runner();
    auto r = runner->Run({m_cli, "--help"}, std::chrono::seconds(60));
    EXPECT_TRUE(r.Succeeded()) << r.Describe();
    EXPECT_NE(r.output.find("usage: tavolin-cli"), std::string::npos);
    r = runner->Run({m_cli, "no-such-command", "with \"quotes\" and \\ blanks\\"},
                    std::chrono::seconds(60));
    EXPECT_EQ(r.status, ProcessResult::Status::Exited);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.errorOutput.find("unknown command 'no-such-command'"), std::string::npos)
        << r.errorOutput;
    EXPECT_EQ(runner->Run({"tavolin-no-such-program"}, std::chrono::seconds(5)).status,
              ProcessResult::Status::NotFound);
    EXPECT_FALSE(runner->IsInstalled("tavolin-no-such-program"));
    EXPECT_TRUE(runner->IsInstalled(m_cli));
    EXPECT_EQ(runner->Run({}, std::chrono::seconds(5)).status,
              ProcessResult::Status::SpawnFailed);
}

TEST_F(WindowsRunner, TimeOutAndStopEndTheChild) {
    auto runner = Runner();
    auto started = std::chrono::steady_clock::now();
    auto r = runner->Run({m_cli, "remind"}, std::chrono::milliseconds(1500));
    EXPECT_EQ(r.status, ProcessResult::Status::TimedOut) << r.Describe();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));

    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        stop.request_stop();
    });
    started = std::chrono::steady_clock::now();
    r = runner->RunUntilStopped({m_cli, "remind"}, std::chrono::seconds(120), stop.get_token());
    stopper.join();
    EXPECT_EQ(r.status, ProcessResult::Status::Stopped) << r.Describe();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}
#endif

TEST(WindowsShortcut, ALinkReadsBackWhatWasSaved) {
    const TempDir dir;
    const auto program = dir.path() / PathFromUtf8("Programme \xc3\xa4") / L"Tavolin.exe";
    std::filesystem::create_directories(program.parent_path());
    std::ofstream(program).put('x');
    const ShortcutInfo info = AutostartShortcut(program);
    EXPECT_EQ(info.arguments, "/go");
    EXPECT_EQ(info.workingDirectory.back(), '\\');

    const auto link = dir / "Tavolin.lnk";
    auto saved = CreateShellShortcut();
    ASSERT_TRUE(saved->SetInfo(info));
    ASSERT_TRUE(saved->Save(link));
    auto loaded = CreateShellShortcut();
    ASSERT_TRUE(loaded->Load(link));
    const ShortcutInfo& got = loaded->Info();
    EXPECT_TRUE(std::filesystem::equivalent(PathFromUtf8(got.targetPath), program))
        << got.targetPath;
    EXPECT_EQ(got.arguments, "/go");
    EXPECT_EQ(got.description, "Erstellen des Hintergrundbildes");
    EXPECT_EQ(got.iconIndex, 0);
    EXPECT_EQ(got.showCommand, 1);
    EXPECT_TRUE(loaded->Resolve());
    EXPECT_FALSE(CreateShellShortcut()->Load(dir / "missing.lnk"));
}

TEST(WindowsShortcut, AutostartInTheStartupFolder) {
    const auto folder = AutostartFolder(TableEnvironment({}));
    ASSERT_TRUE(folder);
    const auto entry = *folder / kAutostartEntryName;
    const std::filesystem::path program = ProgramDirectory() / L"Tavolin.exe";
    ASSERT_EQ(ApplyAutostart(true, folder, program), AutostartResult::Done);
    EXPECT_TRUE(std::filesystem::exists(entry));
    // Twice in a row overwrites; switching off removes it, and again is no error.
    ASSERT_EQ(ApplyAutostart(true, folder, program), AutostartResult::Done);
    auto loaded = CreateShellShortcut();
    ASSERT_TRUE(loaded->Load(entry));
    EXPECT_EQ(loaded->Info().arguments, "/go");
    EXPECT_EQ(ApplyAutostart(false, folder, program), AutostartResult::Done);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(ApplyAutostart(false, folder, program), AutostartResult::Done);
}

TEST(WindowsRegistry, CurVerOfAUserClass) {
    const wchar_t* key = L"Software\\Classes\\Tavolin.TestServer\\CurVer";
    HKEY h = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                                nullptr),
              ERROR_SUCCESS);
    const std::wstring value = L"Tavolin.TestServer.16";
    ::RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(h);
    const auto registry = CreateSystemClassRegistry();
    EXPECT_EQ(registry->DefaultValue("Tavolin.TestServer\\CurVer"), "Tavolin.TestServer.16");
    EXPECT_EQ(registry->DefaultValue("Tavolin.NoSuchServer\\CurVer"), std::nullopt);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\Tavolin.TestServer");
    EXPECT_EQ(registry->DefaultValue("Tavolin.TestServer\\CurVer"), std::nullopt);
    EXPECT_EQ(CreateSystemAutomationHost()->Create("Tavolin.NoSuchServer"), nullptr);
}

// An automation server in this process: 1 adds two integers (a method), 2 is a text property,
// 3 gives a child object, 4 reports an error as servers do, 5 echoes a date.
class FakeDispatch final : public IDispatch {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        lastFlags = flags;
        switch (id) {
            case 1:
                // Arguments arrive last first: (a, b) is rgvarg[1], rgvarg[0].
                if (params->cArgs != 2 || params->rgvarg[1].vt != VT_I4 ||
                    params->rgvarg[0].vt != VT_I4) {
                    return DISP_E_TYPEMISMATCH;
                }
                result->vt = VT_I4;
                result->lVal = params->rgvarg[1].lVal * 10 + params->rgvarg[0].lVal;
                return S_OK;
            case 2:
                result->vt = VT_BSTR;
                result->bstrVal = ::SysAllocString(L"Gr\u00fc\u00dfe");
                return S_OK;
            case 3:
                result->vt = VT_DISPATCH;
                result->pdispVal = new FakeDispatch;
                return S_OK;
            case 4:
                exception->bstrDescription = ::SysAllocString(L"Der Ordner fehlt");
                exception->scode = E_FAIL;
                return DISP_E_EXCEPTION;
            case 5:
                if (params->cArgs != 1 || params->rgvarg[0].vt != VT_DATE) return DISP_E_TYPEMISMATCH;
                result->vt = VT_DATE;
                result->date = params->rgvarg[0].date + 1;
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
    WORD lastFlags = 0;

private:
    ULONG m_refs = 1;
};

TEST(WindowsAutomation, LateBoundCallsThroughDispatch) {
    ASSERT_TRUE(EnsureCom());
    auto* fake = new FakeDispatch;
    const auto object = WrapDispatch(fake);
    auto r = object->Invoke(1, DispatchKind::Method,
                            {AutomationValue::Int(4), AutomationValue::Int(2)});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.value.integer, 42);
    EXPECT_EQ(fake->lastFlags, DISPATCH_METHOD);

    r = object->Invoke(2, DispatchKind::PropertyGet, {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value.type, AutomationValue::Type::Text);
    EXPECT_EQ(r.value.text, "Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_TRUE(fake->lastFlags & DISPATCH_PROPERTYGET);

    r = object->Invoke(3, DispatchKind::PropertyGet, {});
    ASSERT_TRUE(r.ok && r.value.IsObject());
    EXPECT_TRUE(r.value.object->Invoke(2, DispatchKind::PropertyGet, {}).ok);

    r = object->Invoke(4, DispatchKind::Method, {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Der Ordner fehlt");
    EXPECT_FALSE(object->Invoke(99, DispatchKind::Method, {}).ok);

    r = object->Invoke(5, DispatchKind::Method, {AutomationValue::OleDate(45000.5)});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.value.type, AutomationValue::Type::Date);
    EXPECT_DOUBLE_EQ(r.value.date, 45001.5);
    fake->Release();
}

TEST(WindowsDesktopTest, WallpaperValuesNameThePicture) {
    const TempDir dir;
    const auto bmp = dir.path() / PathFromUtf8("B\xc3\xbcro") / L"Background.bmp";
    std::filesystem::create_directories(bmp.parent_path());
    // A 1 x 1 bitmap: the system may read the picture.
    const std::string picture("BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0"
                              "\x18\0\0\0\0\0\x04\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xff\0\0\0",
                              58);
    ASSERT_TRUE(AtomicWriteFile(bmp, picture));
    WindowsDesktop desktop;
    const WallpaperResult result = desktop.SetWallpaper(bmp, {});
    EXPECT_EQ(result.status, WallpaperStatus::Set) << result.detail;
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE,
                              &key),
              ERROR_SUCCESS);
    wchar_t value[MAX_PATH * 2] = {};
    DWORD bytes = sizeof value;
    EXPECT_EQ(::RegGetValueW(key, nullptr, L"WallPaper", RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), bmp.native());
    bytes = sizeof value;
    EXPECT_EQ(::RegGetValueW(key, nullptr, L"TileWallPaper", RRF_RT_REG_SZ, nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"0");
    ::RegCloseKey(key);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(desktop.SetWallpaper(bmp, stop.get_token()).status, WallpaperStatus::Cancelled);
    const ScreenReading screen = WindowsScreen().Read();
    EXPECT_GT(screen.size.width, 0);
    EXPECT_GT(screen.size.height, 0);
}

// The C runtime's local time against Windows' own conversion, in summer and in winter.
TEST(WindowsClock, LocalTimeAgreesWithTheSystemTimeZone) {
    // As Wine passes it on from the Unix side; the runtime must not read it as its own.
    ::_putenv("TZ=Europe/Berlin");
    for (const TimePoint t : {TimePoint{1765393200}, TimePoint{1751371200}, TimePoint{1743296400},
                              TimePoint{1761447600}, TimePoint{946684800}}) {
        const std::tm fields = LocalFields(t);
        const uint64_t ticks = (static_cast<uint64_t>(t) + 11644473600ull) * 10000000ull;
        FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SYSTEMTIME utcTime{}, local{};
        ASSERT_TRUE(::FileTimeToSystemTime(&utc, &utcTime));
        ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local));
        EXPECT_EQ(fields.tm_year + 1900, local.wYear) << t;
        EXPECT_EQ(fields.tm_mon + 1, local.wMonth) << t;
        EXPECT_EQ(fields.tm_mday, local.wDay) << t;
        EXPECT_EQ(fields.tm_hour, local.wHour) << t;
        EXPECT_EQ(fields.tm_min, local.wMinute) << t;
        EXPECT_EQ(MakeLocal(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                            local.wSecond),
                  t);
    }
}

// The hour the clocks go back is read as its first pass, the skipped hour moved on by the gap,
// exactly as on Linux.
TEST(WindowsClock, ChangeOverHours) {
    EXPECT_EQ(MakeLocal(2025, 10, 26, 2, 30, 0), 1761438600);  // 00:30 UTC, still summer time
    EXPECT_EQ(MakeLocal(2025, 3, 30, 2, 30, 0), 1743298200);   // 01:30 UTC, read as 03:30
    EXPECT_EQ(StartOfLocalDay(1765393200), 1765321200);        // 10.12.2025 00:00
}

// Run by scripts/windows.sh with the host's TZ=Europe/Berlin: Wine must have taken it over.
TEST(WindowsClock, TheHostsZoneReachesWindows) {
    TIME_ZONE_INFORMATION zone{};
    ::GetTimeZoneInformation(&zone);
    EXPECT_EQ(zone.Bias, -60);
    EXPECT_EQ(zone.DaylightBias, -60);
    const std::tm summer = LocalFields(1751371200);  // 2025-07-01 12:00 UTC
    EXPECT_EQ(summer.tm_hour, 14);
    EXPECT_EQ(summer.tm_isdst, 1);
    const std::tm winter = LocalFields(1765393200);  // 2025-12-10 19:00 UTC
    EXPECT_EQ(winter.tm_hour, 20);
}

TEST(WindowsDataDirectory, ChoiceAndCreation) {
    const TempDir dir;
    const auto pick = [](EnvironmentTable t, const std::filesystem::path& programDir) {
        return ChooseDataDirectory(TableEnvironment(std::move(t)), programDir);
    };
    const std::string wanted = PathToUtf8(dir.path() / PathFromUtf8("Kalender \xc3\xa4"));
    EXPECT_EQ(pick({{"TAVOLIN_DIR", wanted}}, dir.path()), PathFromUtf8(wanted));
    EXPECT_EQ(pick({}, dir.path()), dir.path());
    EXPECT_EQ(pick({{"APPDATA", "C:\\Users\\x\\AppData\\Roaming"}}, dir / "missing"),
              std::filesystem::path(L"C:\\Users\\x\\AppData\\Roaming\\Tavolin"));
    // An installed copy (its uninstaller beside it) keeps the files per user even where it
    // could write beside itself, as an administrator can in Program Files.
    const std::filesystem::path installed = dir / "installed";
    std::filesystem::create_directories(installed);
    EXPECT_EQ(pick({{"APPDATA", "C:\\Users\\x\\AppData\\Roaming"}}, installed), installed);
    std::ofstream(installed / "Uninstall.exe") << "MZ";
    EXPECT_EQ(pick({{"APPDATA", "C:\\Users\\x\\AppData\\Roaming"}}, installed),
              std::filesystem::path(L"C:\\Users\\x\\AppData\\Roaming\\Tavolin"));
    EXPECT_EQ(pick({{"TAVOLIN_DIR", wanted}, {"APPDATA", "C:\\A"}}, installed),
              PathFromUtf8(wanted));
    std::string error;
    EXPECT_TRUE(MakeDataDirectory(PathFromUtf8(wanted), error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(wanted)));
    EXPECT_FALSE(ProgramDirectory().empty());
}

TEST(WindowsUrlOpener, AMissingFileIsTheShellsFileNotFound) {
    const TempDir dir;
    const int result = MakeSystemUrlOpener({})->Open(PathToUtf8(dir / "missing.txt"));
    EXPECT_LE(result, 32);
    EXPECT_NE(result, 0);
}

}  // namespace
}  // namespace tavolin

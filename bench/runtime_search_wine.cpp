// Windows start-up cost of choosing a runtime, run by hand under Wine: reading the settings
// and the whole search over N installed runtimes registered under the five vendor keys.
// Usage: wine runtime_search_wine.exe [N...]   (default 500). It replaces the vendor keys of
// the prefix (HKLM\Software\JavaSoft, JRockit, IBM) while it runs and removes them after.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jre/runtime_search.h"
#include "launcher/settings.h"

namespace {

const wchar_t* const kVendorKeys[] = {
    L"Software\\JavaSoft\\Java Development Kit", L"Software\\JavaSoft\\Java Runtime Environment",
    L"Software\\JRockit\\Java Runtime Environment", L"Software\\JRockit\\Java Development Kit",
    L"Software\\IBM\\Java2 Runtime Environment"};

bool isJdkKey(int vendor) {
    return vendor == 0 || vendor == 3;
}

void writeFile(const std::wstring& path, const char* content) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
    CloseHandle(file);
}

void removeVendorKeys() {
    for (const wchar_t* key : kVendorKeys)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
}

// N runtimes, spread over the vendor keys in turn, each with a client JVM library.
void registerRuntimes(const std::wstring& root, int count) {
    removeVendorKeys();
    for (int i = 0; i < count; ++i) {
        const int vendor = i % 5;
        const std::wstring version =
            L"1." + std::to_wstring(5 + i % 4) + L".0_" + std::to_wstring(i);
        const std::wstring home = root + L"\\rt" + std::to_wstring(i);
        writeFile(home + (isJdkKey(vendor) ? L"\\jre" : L"") + L"\\bin\\client\\jvm.dll", "");
        const std::wstring path = std::wstring(kVendorKeys[vendor]) + L"\\" + version;
        HKEY key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            fprintf(stderr, "cannot create HKLM\\%ls\n", path.c_str());
            exit(1);
        }
        RegSetValueExW(key, L"JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                       static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring ini(self, length);
    ini = ini.substr(0, ini.rfind(L'.') + 1) + L"ini";
    writeFile(ini, "[Java Runtime Environment]\r\nMain Class=Main\r\nMinimum Version=any\r\n"
                   "Maximum Version=any\r\nVM Provider=any\r\n");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root =
        std::wstring(temp) + L"noviq-bench-" + std::to_wstring(GetCurrentProcessId());

    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(_wtoi(argv[i]));
    if (counts.empty())
        counts.push_back(500);

    printf("%8s %12s %12s %14s\n", "runtimes", "mean (ms)", "best (ms)", "per key (us)");
    for (int count : counts) {
        registerRuntimes(root, count);
        const int rounds = std::max(3, 2000 / std::max(count, 1));
        double total = 0, best = 1e9;
        for (int round = 0; round < rounds; ++round) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            const std::optional<noviq::ProcessContext> context = noviq::readProcessContext();
            const std::optional<noviq::Settings> settings =
                context ? noviq::readSettings(*context) : std::nullopt;
            const std::optional<noviq::RuntimeChoice> runtime =
                settings ? noviq::findRuntime(settings->runtime, context->executableFolder)
                         : std::nullopt;
            QueryPerformanceCounter(&end);
            if (!runtime) {
                fprintf(stderr, "no runtime found\n");
                return 1;
            }
            total += seconds(start, end);
            best = std::min(best, seconds(start, end));
        }
        const double mean = total / rounds;
        printf("%8d %12.3f %12.3f %14.2f\n", count, mean * 1e3, best * 1e3, mean * 1e6 / count);
    }
    removeVendorKeys();
    DeleteFileW(ini.c_str());
    std::wstring command = L"cmd /c rmdir /s /q \"" + root + L"\"";
    _wsystem(command.c_str());
    return 0;
}

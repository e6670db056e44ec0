#include <gtest/gtest.h>
#include <shlobj.h>
#include <oleauto.h>
#include <sddl.h>
#include <string>
#include <vector>
#include "tests/Registry.h"
#include "tests/ServerDll.h"
#include "tests/TestSupport.h"

namespace {

using test::ReadString;

using test::kLibraryId;

struct Row {
    std::string key;
    const char* name;
    std::string data;
};

// Everything registration writes below HKEY_CLASSES_ROOT.
std::vector<Row> ClassesRootRows(const std::string& module) {
    const std::string clsid = test::kClassKey;
    return {
        {std::string("AppID\\") + test::kAppIdText, nullptr, "Lanterwell"},
        {"AppID\\Lanterwell.DLL", "AppID", test::kAppIdText},
        {"Lanterwell.ShellExtension.1", nullptr, "ShellExtension Class"},
        {"Lanterwell.ShellExtension.1\\CLSID", nullptr, test::kClassIdText},
        {"Lanterwell.ShellExtension", nullptr, "ShellExtension Class"},
        {"Lanterwell.ShellExtension\\CLSID", nullptr, test::kClassIdText},
        {"Lanterwell.ShellExtension\\CurVer", nullptr, "Lanterwell.ShellExtension.1"},
        {clsid, nullptr, "ShellExtension Class"},
        {clsid, "AppID", test::kAppIdText},
        {clsid + "\\ProgID", nullptr, "Lanterwell.ShellExtension.1"},
        {clsid + "\\VersionIndependentProgID", nullptr, "Lanterwell.ShellExtension"},
        {clsid + "\\Programmable", nullptr, "<none>"},
        {clsid + "\\InprocServer32", nullptr, module},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\TypeLib", nullptr, test::kLibraryIdText},
        {"Folder\\ShellEx\\ContextMenuHandlers\\Lanterwell", nullptr, test::kClassIdText},
    };
}

// The keys whose removal unregistration leaves to others: they stay.
const char* const kKeptKeys[] = {"AppID", "CLSID", "Folder\\ShellEx\\ContextMenuHandlers"};

int RunRegsvr32(const std::string& arguments) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string program = std::string(system) + "\\regsvr32.exe";
    std::string commandLine = "regsvr32 " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, test::kHangDeadline);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// The server, copied into a folder whose path has a blank and a single quote.
class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The rows name the module's path as the registry's ANSI readers see it.
        SKIP_WITHOUT_ANSI_RUN_FOLDER();
        CreateDirectoryA(m_folder.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA(test::AnsiInRunFolder("Lanterwell.dll").c_str(), m_module.c_str(), FALSE));
        RunRegsvr32("/u /s \"" + m_module + "\"");
        ASSERT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    }
    void TearDown() override {
        if (m_folder.empty())
            return;
        RunRegsvr32("/u /s \"" + m_module + "\"");
        DeleteFileA(m_module.c_str());
        RemoveDirectoryA(m_folder.c_str());
    }

    void ExpectAllRows() {
        for (const Row& row : ClassesRootRows(m_module))
            EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, row.key, row.name), row.data)
                << row.key << " " << (row.name ? row.name : "(default)");
        EXPECT_EQ(test::ApprovedValue(), "Lanterwell");
    }
    void ExpectNoRows() {
        for (const Row& row : ClassesRootRows(m_module))
            EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, row.key)) << row.key;
        for (const char* kept : kKeptKeys)
            EXPECT_TRUE(test::KeyExists(HKEY_CLASSES_ROOT, kept)) << kept;
        EXPECT_EQ(test::ApprovedValue(), "<none>");
    }

    const std::string m_folder = test::AnsiInRunFolder("It's a folder");
    const std::string m_module = m_folder + "\\Lanterwell.dll";
};

TEST_F(RegistrationTest, Regsvr32WritesEveryRowAndRemovesThemAgain) {
    ASSERT_EQ(RunRegsvr32("/s \"" + m_module + "\""), 0);
    ExpectAllRows();
    const std::string version = std::string("TypeLib\\") + test::kLibraryIdText + "\\1.0";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, version + "\\0\\" + test::kNativePlatformKey),
              m_module);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, version + "\\HELPDIR"), m_folder + "\\");
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(kLibraryId, 1, 0, 0, &library), S_OK);
    library->Release();

    // Registering again leaves the same registry.
    ASSERT_EQ(RunRegsvr32("/s \"" + m_module + "\""), 0);
    ExpectAllRows();

    ASSERT_EQ(RunRegsvr32("/u /s \"" + m_module + "\""), 0);
    ExpectNoRows();
    EXPECT_FALSE(
        test::KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + test::kLibraryIdText));
    EXPECT_TRUE(FAILED(LoadRegTypeLib(kLibraryId, 1, 0, 0, &library)));
}

TEST_F(RegistrationTest, TheShellReachesTheRegisteredClass) {
    ASSERT_EQ(RunRegsvr32("/s \"" + m_module + "\""), 0);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IContextMenu* menu = nullptr;
    EXPECT_EQ(CoCreateInstance(test::kShellExtensionClass, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IContextMenu, reinterpret_cast<void**>(&menu)),
              S_OK);
    if (menu)
        menu->Release();
    CoUninitialize();
}

// Loads the copied server and calls its registration exports directly.
class RegistrationExports : public RegistrationTest {
protected:
    void SetUp() override {
        RegistrationTest::SetUp();
        if (IsSkipped())
            return;
        m_server = LoadLibraryA(m_module.c_str());
        ASSERT_NE(m_server, nullptr);
        registerServer = reinterpret_cast<Export>(
            reinterpret_cast<void*>(GetProcAddress(m_server, "DllRegisterServer")));
        unregisterServer = reinterpret_cast<Export>(
            reinterpret_cast<void*>(GetProcAddress(m_server, "DllUnregisterServer")));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_NE(unregisterServer, nullptr);
    }
    void TearDown() override {
        FreeLibrary(m_server);
        RegistrationTest::TearDown();
    }

    using Export = HRESULT(WINAPI*)();
    Export registerServer = nullptr;
    Export unregisterServer = nullptr;
    HMODULE m_server = nullptr;
};

TEST_F(RegistrationExports, CarryOrdinalsThreeAndFour) {
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(m_server, MAKEINTRESOURCEA(3))),
              reinterpret_cast<void*>(registerServer));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(m_server, MAKEINTRESOURCEA(4))),
              reinterpret_cast<void*>(unregisterServer));
}

TEST_F(RegistrationExports, WithoutTheApprovedListNothingIsWrittenAndNoListIsMade) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, test::kApprovedKey), ERROR_SUCCESS);
    EXPECT_EQ(registerServer(), E_ACCESSDENIED);
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, test::kApprovedKey));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, std::string("AppID\\") + test::kAppIdText));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    HKEY approved = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, test::kApprovedKey, &approved), ERROR_SUCCESS);
    RegCloseKey(approved);

    // Unregistration ignores a missing list.
    ASSERT_EQ(registerServer(), S_OK);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, test::kApprovedKey), ERROR_SUCCESS);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL"));
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, test::kApprovedKey, &approved), ERROR_SUCCESS);
    RegCloseKey(approved);
}

TEST_F(RegistrationExports, AFailingClassScriptKeepsWhatCameBeforeIt) {
    // A ProgID key that may be read but not written: the class script cannot create below it.
    HKEY progId = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1", &progId), 0);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", 1,
                                                                     &readOnly, nullptr));
    ASSERT_EQ(RegSetKeySecurity(progId, DACL_SECURITY_INFORMATION, readOnly), 0);
    RegCloseKey(progId);
    LocalFree(readOnly);

    const HRESULT result = registerServer();
    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(test::ApprovedValue(), "Lanterwell");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL", "AppID"), test::kAppIdText);
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1\\CLSID"));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, test::kClassKey)) << "never reached";

    // The roll-back removed the class script's block, the read-only key with it.
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1"));
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1", 0, WRITE_DAC, &progId) ==
        0) {
        RegSetKeySecurity(progId, DACL_SECURITY_INFORMATION, nullptr);
        RegCloseKey(progId);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "Lanterwell.ShellExtension.1");
    }
}

TEST_F(RegistrationExports, UnregistrationRemovesWhatRemainsWhenTheTypeLibraryIsAlreadyGone) {
    ASSERT_EQ(registerServer(), S_OK);
    ExpectAllRows();
    ASSERT_EQ(UnRegisterTypeLib(kLibraryId, 1, 0, 0, test::kNativeSysKind), S_OK);
    // An interface key that a half-removed library registration left behind, naming ours.
    const std::string interfaceKey = std::string("Interface\\") + test::kInterfaceIdText;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (interfaceKey + "\\TypeLib").c_str(), &key), 0);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(test::kLibraryIdText),
                   sizeof(test::kLibraryIdText));
    RegCloseKey(key);

    EXPECT_EQ(unregisterServer(), S_OK);
    ExpectNoRows();
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, interfaceKey));
    EXPECT_FALSE(test::KeyExists(HKEY_CLASSES_ROOT, "AppID\\Lanterwell.DLL"));
}

TEST_F(RegistrationExports, UnregisteringWhatIsNotRegisteredSucceedsAndChangesNothing) {
    EXPECT_EQ(unregisterServer(), S_OK);
    ExpectNoRows();
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK) << "a second time";
    ExpectNoRows();
    EXPECT_EQ(RunRegsvr32("/u /s \"" + m_module + "\""), 0) << "regsvr32 /u reports success";
}

} // namespace

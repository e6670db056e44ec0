#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>
#include <string>
#include "server/TypeLibrary.h"
#include "support/Handles.h"
#include "tests/Registry.h"
#include "tests/TestSupport.h"

namespace {

using test::kInterfaceId;
using test::kLibraryId;
const GUID kClassId = test::kShellExtensionClass;
const GUID kStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// A help string as the conversion code page gives it back: Japanese under 932.
std::wstring ExpectedHelp(const wchar_t* japanese, const wchar_t* asciiPrefix) {
    return test::IsJapaneseCodePage() ? japanese : std::wstring(asciiPrefix);
}

struct Documentation {
    std::wstring name, help;
};

Documentation Document(ITypeLib* library, INT index) {
    BSTR name = nullptr, help = nullptr;
    DWORD context = 1;
    BSTR file = reinterpret_cast<BSTR>(1);
    library->GetDocumentation(index, &name, &help, &context, &file);
    Documentation documentation{name ? name : L"", help ? help : L""};
    EXPECT_EQ(context, 0u);
    EXPECT_EQ(file, nullptr);
    SysFreeString(name);
    SysFreeString(help);
    return documentation;
}

class TypeLibraryFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLib(test::InRunFolder("Lanterwell.dll").c_str(), m_library.Receive()),
                  S_OK);
    }
    ComPtr<ITypeLib> m_library;
};

TEST_F(TypeLibraryFile, TheLibraryIsLanterwellLib10InWin32) {
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(m_library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kLibraryId));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, test::kNativeSysKind);
    // The platform marks every library it loads from a file as having a disk image.
    EXPECT_EQ(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
    m_library->ReleaseTLibAttr(attributes);

    const Documentation library = Document(m_library.Get(), -1);
    EXPECT_EQ(library.name, L"LanterwellLib");
    if (test::IsJapaneseCodePage())
        EXPECT_EQ(library.help,
                  L"Lanterwell 1.0 \u30BF\u30A4\u30D7 \u30E9\u30A4\u30D6\u30E9\u30EA");
    else
        EXPECT_EQ(library.help.substr(0, 15), L"Lanterwell 1.0 ");
    EXPECT_EQ(m_library->GetTypeInfoCount(), 2u);
}

TEST_F(TypeLibraryFile, TheCoclassComesFirstWithItsDefaultInterface) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(m_library->GetTypeInfo(0, coclass.Receive()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kClassId));
    EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attributes->wMajorVerNum, 0);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->cImplTypes, 1);
    coclass->ReleaseTypeAttr(attributes);
    const Documentation documentation = Document(m_library.Get(), 0);
    EXPECT_EQ(documentation.name, L"ShellExtension");
    EXPECT_EQ(documentation.help, L"ShellExtension Class");

    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, implemented.Receive()), S_OK);
    ASSERT_EQ(implemented->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kInterfaceId));
    implemented->ReleaseTypeAttr(attributes);
}

TEST_F(TypeLibraryFile, IShellExtensionIsADualInterfaceOnIDispatchFromStdOle) {
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(m_library->GetTypeInfo(1, dispatch.Receive()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, kInterfaceId));
    // The platform shows the dispatch half of a dual interface without
    // TYPEFLAG_FOLEAUTOMATION; the interface half below carries all four flags.
    const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(attributes->wTypeFlags & dual, dual);
    EXPECT_EQ(attributes->wTypeFlags & ~(dual | TYPEFLAG_FOLEAUTOMATION), 0);
    EXPECT_EQ(attributes->cbSizeVft, 7 * sizeof(void*));
    EXPECT_EQ(attributes->cVars, 0);
    EXPECT_EQ(attributes->wMajorVerNum, 0);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    dispatch->ReleaseTypeAttr(attributes);
    const Documentation documentation = Document(m_library.Get(), 1);
    EXPECT_EQ(documentation.name, L"IShellExtension");
    EXPECT_EQ(documentation.help, ExpectedHelp(L"IShellExtension \u30A4\u30F3\u30BF\u30FC\u30D5"
                                               L"\u30A7\u30A4\u30B9",
                                               documentation.help.c_str()));
    EXPECT_EQ(documentation.help.substr(0, 16), L"IShellExtension ");

    HREFTYPE half = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &half), S_OK);
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeInfo(half, vtable.Receive()), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->wTypeFlags, 0x11C0);
    EXPECT_EQ(attributes->cFuncs, 0) << "no functions of its own";
    EXPECT_EQ(attributes->cbSizeVft, 7 * sizeof(void*)) << "the seven IDispatch slots";
    vtable->ReleaseTypeAttr(attributes);

    HREFTYPE base = 0;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &base), S_OK);
    ComPtr<ITypeInfo> idispatch;
    ASSERT_EQ(vtable->GetRefTypeInfo(base, idispatch.Receive()), S_OK);
    ASSERT_EQ(idispatch->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IDispatch));
    idispatch->ReleaseTypeAttr(attributes);
    ComPtr<ITypeLib> stdole;
    UINT index = 0;
    ASSERT_EQ(idispatch->GetContainingTypeLib(stdole.Receive(), &index), S_OK);
    TLIBATTR* imported = nullptr;
    ASSERT_EQ(stdole->GetLibAttr(&imported), S_OK);
    EXPECT_TRUE(IsEqualGUID(imported->guid, kStdOle));
    EXPECT_EQ(imported->wMajorVerNum, 2);
    EXPECT_EQ(imported->wMinorVerNum, 0);
    stdole->ReleaseTLibAttr(imported);
}

TEST(ModuleTypeLibrary, LoadsFromTheModuleAndFallsBackToATlbBesideIt) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the module names itself by its exact ANSI path
    BSTR path = nullptr;
    ITypeLib* library = nullptr;
    EXPECT_EQ(LoadModuleTypeLibrary(nullptr, nullptr, &library), E_POINTER);
    EXPECT_EQ(LoadModuleTypeLibrary(nullptr, &path, nullptr), E_POINTER);

    HMODULE server = LoadLibraryW(test::InRunFolder("Lanterwell.dll").c_str());
    ASSERT_NE(server, nullptr);
    ASSERT_EQ(LoadModuleTypeLibrary(server, &path, &library), S_OK);
    EXPECT_EQ(std::wstring(path), test::InRunFolder("Lanterwell.dll"));
    SysFreeString(path);
    library->Release();
    FreeLibrary(server);

    // A module without a type library: the .tlb file of its name beside it.
    HMODULE plain = LoadLibraryW(test::InRunFolder("subst_recording.dll").c_str());
    ASSERT_NE(plain, nullptr);
    const std::wstring tlb = test::InRunFolder("subst_recording.tlb");
    DeleteFileW(tlb.c_str());
    EXPECT_TRUE(FAILED(LoadModuleTypeLibrary(plain, &path, &library)));
    EXPECT_EQ(path, nullptr);
    EXPECT_EQ(library, nullptr);
    ASSERT_TRUE(CopyFileW(test::InRunFolder("Lanterwell.tlb").c_str(), tlb.c_str(), FALSE));
    ASSERT_EQ(LoadModuleTypeLibrary(plain, &path, &library), S_OK);
    EXPECT_EQ(std::wstring(path), tlb);
    SysFreeString(path);
    library->Release();
    DeleteFileW(tlb.c_str());
    FreeLibrary(plain);
}

TEST(ModuleTypeLibrary, HelpDirectoryKeepsItsFinalSeparator) {
    EXPECT_EQ(DirectoryPrefixLength(L"X:\\dir\\Lanterwell.DLL"), 7);
    EXPECT_EQ(DirectoryPrefixLength(L"C:\\Program Files\\Tool\\Lanterwell.DLL"), 22);
    EXPECT_EQ(DirectoryPrefixLength(L"X:Lanterwell.DLL"), 2);
    EXPECT_EQ(DirectoryPrefixLength(L"Lanterwell.DLL"), 0);
    EXPECT_EQ(DirectoryPrefixLength(L"X:/dir/sub/Lanterwell.DLL"), 11);
    EXPECT_EQ(DirectoryPrefixLength(L""), 0);
}

} // namespace

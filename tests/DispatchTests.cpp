#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>
#include <thread>
#include "extension/IShellExtension.h"
#include "tests/ServerDll.h"
#include "tests/SubstDoubles.h"

namespace {

using test::kLibraryId;

using Export = HRESULT(WINAPI*)();

// The dual interface of an object made by the freshly loaded server.
class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        ASSERT_TRUE(m_dll.Loaded());
        UnRegisterTypeLib(kLibraryId, 1, 0, 0, test::kNativeSysKind);
        m_dual = Make();
        ASSERT_NE(m_dual, nullptr);
    }
    void TearDown() override {
        if (m_dual)
            m_dual->Release();
        if (m_registered)
            reinterpret_cast<Export>(m_dll.Export("DllUnregisterServer"))();
    }

    IShellExtension* Make() {
        IClassFactory* factory = nullptr;
        if (FAILED(m_dll.ClassObject(&factory)))
            return nullptr;
        IShellExtension* dual = nullptr;
        factory->CreateInstance(nullptr, __uuidof(IShellExtension),
                                reinterpret_cast<void**>(&dual));
        factory->Release();
        return dual;
    }
    void Register() {
        ASSERT_EQ(reinterpret_cast<Export>(m_dll.Export("DllRegisterServer"))(), S_OK);
        m_registered = true;
    }
    static HRESULT NotRegistered() {
        ITypeLib* library = nullptr;
        const HRESULT result = LoadRegTypeLib(kLibraryId, 1, 0, 0, &library);
        if (library)
            library->Release();
        return result;
    }

    test::PlacedSubst m_subst{"subst_recording.dll"};
    test::ServerDll m_dll;
    IShellExtension* m_dual = nullptr;
    bool m_registered = false;
};

TEST_F(DispatchTest, BeforeRegistrationEveryCallButTheCountFailsAsTheLoadDid) {
    UINT count = 0;
    EXPECT_EQ(m_dual->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(m_dual->GetTypeInfoCount(nullptr), E_POINTER);

    const HRESULT failure = NotRegistered();
    ASSERT_TRUE(FAILED(failure));
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(m_dual->GetTypeInfo(0, 0, &info), failure);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(m_dual->GetTypeInfo(0, 0, nullptr), E_POINTER);
    DISPID id = 42;
    LPOLESTR name = const_cast<LPOLESTR>(L"QueryInterface");
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), failure);
    EXPECT_EQ(id, 42);
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    DISPPARAMS none = {};
    EXPECT_EQ(m_dual->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              failure);
    EXPECT_EQ(result.vt, VT_I4) << "untouched";

    // Registration later, in the same process: the next call loads.
    Register();
    EXPECT_EQ(m_dual->GetTypeInfo(0, 0, &info), S_OK);
    ASSERT_NE(info, nullptr);
    info->Release();
}

TEST_F(DispatchTest, EveryIndexGivesTheOneTypeInformationWithOneMoreReference) {
    Register();
    ITypeInfo* first = nullptr;
    ITypeInfo* seventh = nullptr;
    ASSERT_EQ(m_dual->GetTypeInfo(0, 0, &first), S_OK);
    const ULONG references = first->AddRef() - 1;
    first->Release();
    ASSERT_EQ(m_dual->GetTypeInfo(7, 0x0411, &seventh), S_OK);
    EXPECT_EQ(seventh, first);
    EXPECT_EQ(first->AddRef() - 1, references + 1);
    first->Release();
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, __uuidof(IShellExtension)));
    first->ReleaseTypeAttr(attributes);
    seventh->Release();
    first->Release();
}

TEST_F(DispatchTest, NamesAndInvocationGoThroughTheRegisteredLibrary) {
    Register();
    ITypeInfo* info = nullptr;
    ASSERT_EQ(m_dual->GetTypeInfo(0, 0, &info), S_OK);
    for (const wchar_t* member : {L"QueryInterface", L"Invoke", L"invoke", L"GETTYPEINFO"}) {
        LPOLESTR name = const_cast<LPOLESTR>(member);
        DISPID expected = 0, id = 0;
        ASSERT_EQ(info->GetIDsOfNames(&name, 1, &expected), S_OK);
        EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, &name, 1, 0x0411, &id), S_OK);
        EXPECT_EQ(id, expected);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    info->Release();

    DISPPARAMS none = {};
    EXPECT_EQ(m_dual->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND)
        << "the type information's own answer";
}

TEST_F(DispatchTest, NullArraysAreRefusedBeforeAnythingIsTouched) {
    Register();
    LPOLESTR name = const_cast<LPOLESTR>(L"Invoke");
    DISPID id = 0;
    ASSERT_EQ(m_dual->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << "now in the cache";
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_POINTER);
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, nullptr, 0, 0, &id), E_POINTER);
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_POINTER);
    LPOLESTR missing = nullptr;
    EXPECT_EQ(m_dual->GetIDsOfNames(IID_NULL, &missing, 1, 0, &id), E_POINTER);

    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    EXPECT_EQ(m_dual->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
              E_POINTER);
    DISPPARAMS noArguments = {nullptr, nullptr, 2, 0};
    EXPECT_EQ(
        m_dual->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &noArguments, &result, nullptr, nullptr),
        E_POINTER);
    DISPPARAMS noNames = {nullptr, nullptr, 0, 1};
    EXPECT_EQ(m_dual->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &noNames, &result, nullptr, nullptr),
              E_POINTER);
    EXPECT_EQ(result.vt, VT_I4) << "untouched";
}

TEST_F(DispatchTest, ObjectsOfOtherApartmentThreadsShareTheLoadedInformation) {
    Register();
    ITypeInfo* mine = nullptr;
    ASSERT_EQ(m_dual->GetTypeInfo(0, 0, &mine), S_OK);
    ITypeInfo* theirs = nullptr;
    HRESULT result = E_FAIL;
    std::thread apartment([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (IShellExtension* dual = Make()) {
            result = dual->GetTypeInfo(0, 0, &theirs);
            dual->Release();
        }
        CoUninitialize();
    });
    apartment.join();
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(theirs, mine);
    if (theirs)
        theirs->Release();
    mine->Release();
}

} // namespace

#include <gtest/gtest.h>
#include <shlobj.h>
#include <thread>
#include <vector>
#include "extension/IShellExtension.h"
#include "tests/OuterObject.h"
#include "tests/ServerDll.h"
#include "tests/SubstDoubles.h"

namespace {

using test::ServerDll;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
        ASSERT_TRUE(m_subst.Placed());
        ASSERT_TRUE(m_dll.Loaded());
    }
    void TearDown() override {
        EXPECT_EQ(m_dll.canUnloadNow(), S_OK) << "every lock on the module is given back";
    }

    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(m_dll.ClassObject(&factory), S_OK);
        return factory;
    }

    test::PlacedSubst m_subst{"subst_recording.dll"};
    ServerDll m_dll;
};

using test::Outer;

TEST_F(ServerTest, ExportsCarryTheirOrdinalsAndTheModuleName) {
    EXPECT_EQ(m_dll.Export(MAKEINTRESOURCEA(1)), m_dll.Export("DllCanUnloadNow"));
    EXPECT_EQ(m_dll.Export(MAKEINTRESOURCEA(2)), m_dll.Export("DllGetClassObject"));
    const BYTE* base = reinterpret_cast<const BYTE*>(m_dll.Module());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#if defined(__aarch64__)
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_ARM64);
#elif defined(__x86_64__)
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "Lanterwell.DLL");
    EXPECT_EQ(exports->Base, 1u);
}

TEST_F(ServerTest, TheClassObjectIsMadeOnceAndOnlyItsSecondReferenceLocksTheModule) {
    EXPECT_EQ(m_dll.canUnloadNow(), S_OK);
    IClassFactory* first = Factory();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);
    IClassFactory* second = Factory();
    EXPECT_EQ(second, first);
    second->Release();
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);
    first->Release();
    EXPECT_EQ(m_dll.canUnloadNow(), S_OK);
    EXPECT_EQ(Factory(), first) << "the class object stays cached";
    first->Release();
}

TEST_F(ServerTest, GetClassObjectRefusesUnknownClassesInterfacesAndNullOutPointers) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_dll.getClassObject(IID_IUnknown, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m_dll.getClassObject(test::kShellExtensionClass, IID_IClassFactory, nullptr),
              E_POINTER);
    EXPECT_EQ(m_dll.getClassObject(IID_IUnknown, IID_IClassFactory, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_dll.getClassObject(test::kShellExtensionClass, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(m_dll.getClassObject(test::kShellExtensionClass, IID_IUnknown,
                                   reinterpret_cast<void**>(&unknown)),
              S_OK);
    IClassFactory* factory = Factory();
    IUnknown* factoryUnknown = nullptr;
    factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&factoryUnknown));
    EXPECT_EQ(factoryUnknown, unknown);
    factoryUnknown->Release();
    factory->Release();
    unknown->Release();
}

TEST_F(ServerTest, EachObjectHoldsOneLockAndItsOwnLoadOfTheLibrary) {
    IClassFactory* factory = Factory();
    IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
              S_OK);
    factory->Release();
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);
    EXPECT_NE(test::LoadedSubst(), nullptr);
    EXPECT_EQ(menu->Release(), 0u);
    EXPECT_EQ(m_dll.canUnloadNow(), S_OK);
    EXPECT_EQ(test::LoadedSubst(), nullptr) << "the object freed SUBST.DLL";
}

TEST_F(ServerTest, EveryInterfaceAnswersWithTheSameIdentity) {
    IClassFactory* factory = Factory();
    IShellExtInit* init = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)),
              S_OK);
    factory->Release();
    IContextMenu* menu = nullptr;
    IShellExtension* dual = nullptr;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    ASSERT_EQ(menu->QueryInterface(__uuidof(IShellExtension), reinterpret_cast<void**>(&dual)),
              S_OK);
    ASSERT_EQ(init->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch), static_cast<IUnknown*>(dual));
    EXPECT_NE(static_cast<void*>(init), static_cast<void*>(menu));
    for (IUnknown* through : {static_cast<IUnknown*>(init), static_cast<IUnknown*>(menu),
                              static_cast<IUnknown*>(dual)}) {
        IUnknown* identity = nullptr;
        ASSERT_EQ(through->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity, static_cast<IUnknown*>(dual));
        identity->Release();
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(menu->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(menu->QueryInterface(IID_IContextMenu, nullptr), E_POINTER);

    // One count for the whole object, whichever interface it goes through.
    EXPECT_EQ(dual->AddRef(), 5u);
    EXPECT_EQ(menu->Release(), 4u);
    EXPECT_EQ(dispatch->Release(), 3u);
    EXPECT_EQ(dual->Release(), 2u);
    EXPECT_EQ(init->Release(), 1u);
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);
    EXPECT_EQ(dual->Release(), 0u);
}

TEST_F(ServerTest, AnAggregatedObjectDelegatesToItsOuterObject) {
    IClassFactory* factory = Factory();
    Outer outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IContextMenu, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(test::LoadedSubst(), nullptr) << "nothing was made";

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);

    IContextMenu* menu = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "the reference goes to the outer object";
    IUnknown* identity = nullptr;
    const int queries = outer.queries;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    EXPECT_EQ(outer.queries, queries + 1);
    identity->Release();
    IShellExtInit* init = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    EXPECT_EQ(outer.refs, 3);
    init->Release();
    menu->Release();
    EXPECT_EQ(outer.refs, 1);

    IUnknown* inner = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(inner, outer.inner) << "the non-delegating IUnknown answers IUnknown itself";
    EXPECT_EQ(inner->Release(), 1u);
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(test::LoadedSubst(), nullptr);
}

TEST_F(ServerTest, AnInterfaceTheObjectLacksDestroysItAgain) {
    IClassFactory* factory = Factory();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, nullptr), E_POINTER);
    factory->Release();
    EXPECT_EQ(test::LoadedSubst(), nullptr) << "the object and its fields are gone";
}

TEST_F(ServerTest, LockServerCountsUpAndDownWithoutALowerBound) {
    IClassFactory* factory = Factory();
    factory->Release();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_dll.canUnloadNow(), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(m_dll.canUnloadNow(), S_FALSE) << "-1 is not 0";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
}

TEST_F(ServerTest, ManyThreadsShareOneClassObjectAndGiveEveryCountBack) {
    const int kThreads = 8;
    const int kRounds = 200;
    std::vector<IClassFactory*> seen(kThreads * kRounds, nullptr);
    std::vector<HRESULT> results(kThreads * kRounds, E_FAIL);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const int slot = t * kRounds + round;
                IClassFactory* factory = nullptr;
                results[slot] = m_dll.ClassObject(&factory);
                if (FAILED(results[slot]))
                    continue;
                seen[slot] = factory;
                IContextMenu* menu = nullptr;
                if (round % 2 == 0 &&
                    SUCCEEDED(factory->CreateInstance(nullptr, IID_IContextMenu,
                                                      reinterpret_cast<void**>(&menu))))
                    menu->Release();
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(results[i], S_OK) << i;
        ASSERT_EQ(seen[i], seen[0]) << "one class object for every thread";
    }
}

TEST(ServerLoad, IsRefusedWhenAModuleLockCannotBeInitialised) {
    SetLastError(0);
    HMODULE module = LoadLibraryW(test::InRunFolder("lanterwell_lockfail.dll").c_str());
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    if (module)
        FreeLibrary(module);
}

} // namespace

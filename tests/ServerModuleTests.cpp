#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "LanterwellIds.h"
#include "registrar/IRegistrar.h"
#include "server/ClassRegistry.h"
#include "support/InterfaceMap.h"
#include "server/ServerModule.h"

namespace {

std::vector<std::string> calls;

void CallbackA(void* argument) {
    calls.push_back(std::string("A:") + static_cast<const char*>(argument));
}
void CallbackB(void* argument) {
    calls.push_back(std::string("B:") + static_cast<const char*>(argument));
}

// A module of its own, so that the test may stop it; the process's module is restored.
class LocalModule : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        ASSERT_TRUE(m_module.Start());
    }
    void TearDown() override {
        m_module.Stop();
        activeModule = m_saved;
    }
    ServerModule* m_saved = activeModule;
    ServerModule m_module;
};

TEST_F(LocalModule, TerminationCallbacksRunMostRecentFirstAndOnlyOnce) {
    static char a[] = "first", b[] = "second";
    EXPECT_EQ(m_module.AddTerminationCallback(CallbackA, a), S_OK);
    EXPECT_EQ(m_module.AddTerminationCallback(CallbackB, b), S_OK);
    m_module.Stop();
    EXPECT_EQ(calls, (std::vector<std::string>{"B:second", "A:first"}));
    EXPECT_EQ(m_module.termList, nullptr);
    m_module.Stop();
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(m_module.AddTerminationCallback(CallbackA, a), E_INVALIDARG) << "stopped";
}

TEST_F(LocalModule, TheModuleLockIsReentrant) {
    EnterCriticalSection(&m_module.moduleLock);
    static char a[] = "inside";
    EXPECT_EQ(m_module.AddTerminationCallback(CallbackA, a), S_OK);
    LeaveCriticalSection(&m_module.moduleLock);
}

TEST_F(LocalModule, LocksCountAtomicallyAndReportTheNewCount) {
    EXPECT_EQ(m_module.LockCount(), 0);
    EXPECT_EQ(m_module.AddLock(), 1);
    EXPECT_EQ(m_module.AddLock(), 2);
    EXPECT_EQ(m_module.ReleaseLock(), 1);
    EXPECT_EQ(m_module.ReleaseLock(), 0);
    EXPECT_EQ(m_module.ReleaseLock(), -1);
    EXPECT_EQ(m_module.LockCount(), -1);
}

TEST_F(LocalModule, TheGlobalInterfaceTableIsMadeOnceAndHandedOutWithAReference) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    EXPECT_EQ(m_module.GetGlobalInterfaceTable(nullptr), E_POINTER);
    IGlobalInterfaceTable* first = nullptr;
    IGlobalInterfaceTable* second = nullptr;
    ASSERT_EQ(m_module.GetGlobalInterfaceTable(&first), S_OK);
    ASSERT_EQ(m_module.GetGlobalInterfaceTable(&second), S_OK);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, m_module.globalInterfaceTable);
    second->Release();
    first->Release();
    m_module.Stop();
    EXPECT_EQ(m_module.globalInterfaceTable, nullptr);
    CoUninitialize();
}

// Records the variables added to it.
class RecordingRegistrar : public IRegistrar {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    STDMETHODIMP AddVariable(LPCWSTR name, LPCWSTR value) override {
        added.push_back(std::wstring(name) + L"=" + value);
        return result;
    }
    STDMETHODIMP ClearVariables() override { return S_OK; }

    std::vector<std::wstring> added;
    HRESULT result = S_OK;
};

TEST_F(LocalModule, CommonReplacementsGiveTheAppIdAndItsResult) {
    RecordingRegistrar registrar;
    EXPECT_EQ(m_module.AddCommonReplacements(&registrar), S_OK);
    registrar.result = E_OUTOFMEMORY;
    EXPECT_EQ(m_module.AddCommonReplacements(&registrar), E_OUTOFMEMORY);
    EXPECT_EQ(registrar.added,
              (std::vector<std::wstring>{L"APPID=" LANTERWELL_APPID_LANTERWELL_TEXT,
                                         L"APPID=" LANTERWELL_APPID_LANTERWELL_TEXT}));
}

TEST(ClassRegistryRecord, AnswersUnexpectedUntilStartedAndAfterStopping) {
    ClassRegistry registry;
    void* out = nullptr;
    EXPECT_EQ(registry.GetClassObject(IID_IUnknown, IID_IUnknown, &out), E_UNEXPECTED);
    ASSERT_TRUE(registry.Start());
    EXPECT_EQ(registry.GetClassObject(IID_IUnknown, IID_IUnknown, &out), CLASS_E_CLASSNOTAVAILABLE);
    registry.Stop();
    EXPECT_EQ(registry.GetClassObject(IID_IUnknown, IID_IUnknown, &out), E_UNEXPECTED);
    registry.Stop();
}

TEST(InterfaceMapQuery, TakesTheFirstRowForIUnknownAndRefusesTheRest) {
    struct Counted : IUnknown {
        STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
        LONG refs = 0;
    } first, second;
    const InterfaceMapEntry map[] = {
        {&IID_IDispatch, 0},
        {&IID_IClassFactory, reinterpret_cast<char*>(&second) - reinterpret_cast<char*>(&first)},
        {nullptr, 0},
    };
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(QueryFromInterfaceMap(&first, map, IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, &first);
    EXPECT_EQ(QueryFromInterfaceMap(&first, map, IID_IClassFactory, &out), S_OK);
    EXPECT_EQ(out, &second);
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 1);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(QueryFromInterfaceMap(&first, map, IID_IPersist, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(QueryFromInterfaceMap(&first, map, IID_IUnknown, nullptr), E_POINTER);
}

} // namespace

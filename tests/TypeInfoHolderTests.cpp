#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include "server/ServerModule.h"
#include "server/TypeInfoHolder.h"
#include "support/Handles.h"
#include "support/ModuleHeap.h"
#include "tests/CountingTypeInfo.h"
#include "tests/TestSupport.h"

namespace {

const GUID kHolderLibrary = {
    0x6A0D7C10, 0x1111, 0x4A8F, {0x9E, 0x61, 0x2F, 0x0A, 0x7C, 0x9D, 0x4B, 0x00}};
const IID kBare = {0x6A0D7C10, 0x1111, 0x4A8F, {0x9E, 0x61, 0x2F, 0x0A, 0x7C, 0x9D, 0x4B, 0x01}};
const IID kSecond = {0x6A0D7C10, 0x1111, 0x4A8F, {0x9E, 0x61, 0x2F, 0x0A, 0x7C, 0x9D, 0x4B, 0x03}};

// The termination entries that name a holder.
int TerminationEntries(const TypeInfoHolder& holder) {
    int count = 0;
    for (TermEntry* entry = activeModule->termList; entry; entry = entry->next)
        count += entry->argument == &holder;
    return count;
}

// The small test library, registered for the holders of one test.
class HolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring widePath = test::InRunFolder("holder_test.tlb");
        ComPtr<ITypeLib> library;
        ASSERT_EQ(LoadTypeLib(widePath.c_str(), library.Receive()), S_OK);
        ASSERT_EQ(RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(widePath.c_str()), nullptr),
                  S_OK);
    }
    void TearDown() override {
        for (TypeInfoHolder* holder : {&m_bare, &m_second})
            Forget(*holder);
        UnRegisterTypeLib(kHolderLibrary, 1, 0, 0, test::kNativeSysKind);
    }

    // Takes a holder's entries off the module's termination list and empties it.
    static void Forget(TypeInfoHolder& holder) {
        CriticalSectionLock lock(activeModule->moduleLock);
        for (TermEntry** link = &activeModule->termList; *link;) {
            TermEntry* entry = *link;
            if (entry->argument != &holder) {
                link = &entry->next;
                continue;
            }
            *link = entry->next;
            HeapDelete(entry);
        }
        TypeInfoHolder::ReleaseTypeInfo(&holder);
    }

    // Puts a counting stand-in between the holder and its loaded type information.
    static test::CountingTypeInfo* Count(TypeInfoHolder& holder) {
        auto* counting = new test::CountingTypeInfo(holder.typeInfo);
        holder.typeInfo->Release();
        holder.typeInfo = counting;
        return counting;
    }

    TypeInfoHolder m_bare{kBare, kHolderLibrary, 1, 0};
    TypeInfoHolder m_second{kSecond, kHolderLibrary, 1, 0};
};

HRESULT Lookup(TypeInfoHolder& holder, std::initializer_list<const wchar_t*> names, DISPID* ids) {
    LPOLESTR list[4];
    UINT count = 0;
    for (const wchar_t* name : names)
        list[count++] = const_cast<LPOLESTR>(name);
    return holder.GetIDsOfNames(IID_NULL, list, count, 0, ids);
}

TEST_F(HolderTest, LoadsOnceAndCachesEveryFunctionName) {
    EXPECT_EQ(m_second.EnsureTypeInfo(0), S_OK);
    ASSERT_NE(m_second.typeInfo, nullptr);
    ASSERT_NE(m_second.nameCache, nullptr);
    EXPECT_EQ(m_second.nameCount, 10) << "IDispatch's seven, IFirst's two and its own";
    int same = 0;
    for (LONG i = 0; i < m_second.nameCount; ++i) {
        const NameCacheEntry& entry = m_second.nameCache[i];
        ASSERT_NE(entry.name, nullptr);
        EXPECT_EQ(entry.length, static_cast<LONG>(SysStringLen(entry.name)));
        same += std::wstring(entry.name) == L"Same";
    }
    EXPECT_EQ(same, 2);
    EXPECT_EQ(TerminationEntries(m_second), 1);
    EXPECT_EQ(m_second.EnsureTypeInfo(0x0411), S_OK);
    EXPECT_EQ(TerminationEntries(m_second), 1) << "the cleanup is added once";
}

TEST_F(HolderTest, OnlyASingleExactNameIsAnsweredFromTheCache) {
    ASSERT_EQ(m_second.EnsureTypeInfo(0), S_OK);
    test::CountingTypeInfo* counting = Count(m_second);
    DISPID ids[2] = {-5, -5};
    EXPECT_EQ(Lookup(m_second, {L"Same"}, ids), S_OK);
    EXPECT_EQ(ids[0], 2) << "of two equal names the later entry answers";
    EXPECT_EQ(Lookup(m_second, {L"Other"}, ids), S_OK);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(counting->nameLookups, 0);

    EXPECT_EQ(Lookup(m_second, {L"other"}, ids), S_OK) << "another case: the type information";
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(counting->nameLookups, 1);
    ids[0] = -5;
    Lookup(m_second, {L"Other", L"Same"}, ids); // no parameter is named Same
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(counting->nameLookups, 2) << "two names always go to the type information";
    EXPECT_EQ(Lookup(m_second, {L"Missing"}, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(counting->nameLookups, 3);

    const int releases = counting->releases;
    TypeInfoHolder::ReleaseTypeInfo(&m_second);
    EXPECT_EQ(counting->releases, releases + 1) << "exactly one Release";
    EXPECT_EQ(m_second.typeInfo, nullptr);
    EXPECT_EQ(m_second.nameCache, nullptr);
    EXPECT_EQ(m_second.nameCount, 10);
    delete counting;
}

TEST_F(HolderTest, AnInterfaceWithoutFunctionsGetsNoCacheAndStillAnswers) {
    EXPECT_EQ(m_bare.EnsureTypeInfo(0), S_OK);
    ASSERT_NE(m_bare.typeInfo, nullptr);
    EXPECT_EQ(m_bare.nameCache, nullptr);
    EXPECT_EQ(m_bare.nameCount, 0);
    test::CountingTypeInfo* counting = Count(m_bare);
    DISPID id = 7;
    EXPECT_EQ(Lookup(m_bare, {L"Anything"}, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Lookup(m_bare, {L"Anything"}, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(counting->nameLookups, 2);
    EXPECT_EQ(m_bare.nameCache, nullptr);
    EXPECT_EQ(TerminationEntries(m_bare), 1);
    TypeInfoHolder::ReleaseTypeInfo(&m_bare);
    delete counting;
}

TEST_F(HolderTest, TwoThreadsLoadingAtOnceLoadOnce) {
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT results[2] = {E_FAIL, E_FAIL};
    ITypeInfo* seen[2] = {};
    std::thread first([&] {
        WaitForSingleObject(start, INFINITE);
        results[0] = m_second.GetTypeInfo(0, 0, &seen[0]);
    });
    std::thread second([&] {
        WaitForSingleObject(start, INFINITE);
        results[1] = m_second.GetTypeInfo(5, 0x0411, &seen[1]);
    });
    SetEvent(start);
    first.join();
    second.join();
    CloseHandle(start);
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(results[1], S_OK);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(TerminationEntries(m_second), 1) << "one load: one cleanup";
    seen[0]->Release();
    seen[1]->Release();
}

TEST(HolderWithoutLibrary, ReturnsTheLoadFailureAndKeepsNothing) {
    const GUID missing = {
        0x6A0D7C10, 0x2222, 0x4A8F, {0x9E, 0x61, 0x2F, 0x0A, 0x7C, 0x9D, 0x4B, 0x00}};
    TypeInfoHolder holder(kSecond, missing, 1, 0);
    ITypeLib* library = nullptr;
    const HRESULT notRegistered = LoadRegTypeLib(missing, 1, 0, 0, &library);
    ASSERT_TRUE(FAILED(notRegistered));
    EXPECT_EQ(holder.EnsureTypeInfo(0), notRegistered);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(holder.GetTypeInfo(0, 0, &info), notRegistered);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(holder.GetTypeInfo(0, 0, nullptr), E_POINTER);
    DISPID id = 42;
    LPOLESTR name = const_cast<LPOLESTR>(L"Same");
    EXPECT_EQ(holder.GetIDsOfNames(IID_NULL, &name, 1, 0, &id), notRegistered);
    EXPECT_EQ(id, 42);
    EXPECT_EQ(holder.typeInfo, nullptr);
    EXPECT_EQ(TerminationEntries(holder), 0);
}

} // namespace

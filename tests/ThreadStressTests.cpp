// Many apartments at once: the class object is made once, and every reference and lock that
// the threads take is given back.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <atomic>
#include <thread>
#include <vector>
#include "tests/OuterObject.h"
#include "tests/ServerDll.h"
#include "tests/SubstDoubles.h"

namespace {

const int kThreads = 16;
const int kRounds = 10000;

// One thread's rounds; false at the first call that did not do what it must.
bool Rounds(const test::ServerDll& dll, bool singleThreaded, IClassFactory** seen) {
    if (FAILED(CoInitializeEx(nullptr,
                              singleThreaded ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED)))
        return false;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        IClassFactory* factory = nullptr;
        ok = dll.ClassObject(&factory) == S_OK;
        if (!ok)
            break;
        if (!*seen)
            *seen = factory;
        ok = *seen == factory;

        IContextMenu* menu = nullptr;
        ok = ok && factory->CreateInstance(nullptr, IID_IContextMenu,
                                           reinterpret_cast<void**>(&menu)) == S_OK;
        IShellExtInit* init = nullptr;
        ok = ok && menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)) == S_OK;
        if (init)
            init->Release();
        if (menu)
            ok = menu->Release() == 0 && ok;

        test::Outer outer;
        ok = ok && factory->CreateInstance(&outer, IID_IUnknown,
                                           reinterpret_cast<void**>(&outer.inner)) == S_OK;
        IContextMenu* delegated = nullptr;
        ok = ok && outer.inner->QueryInterface(IID_IContextMenu,
                                               reinterpret_cast<void**>(&delegated)) == S_OK;
        if (delegated)
            delegated->Release();
        if (outer.inner)
            ok = outer.inner->Release() == 0 && ok;
        ok = ok && outer.refs == 1;

        ok = ok && factory->LockServer(TRUE) == S_OK && factory->LockServer(FALSE) == S_OK;
        factory->Release();
    }
    CoUninitialize();
    return ok;
}

TEST(ThreadStress, SixteenApartmentsShareOneClassObjectAndGiveEverythingBack) {
    SKIP_WITHOUT_ANSI_RUN_FOLDER(); // the server finds SUBST.DLL beside it by its ANSI path
    test::PlacedSubst subst("subst_recording.dll");
    ASSERT_TRUE(subst.Placed());
    test::ServerDll dll;
    ASSERT_TRUE(dll.Loaded());

    std::atomic<bool> running{true};
    // A poll costs next to nothing: a long (32 bits on Windows) wraps within a slow run.
    std::atomic<long long> polls{0};
    std::thread poller([&] {
        while (running) {
            const HRESULT answer = dll.canUnloadNow();
            if (answer != S_OK && answer != S_FALSE)
                ADD_FAILURE() << "DllCanUnloadNow answered " << answer;
            ++polls;
        }
    });

    std::vector<IClassFactory*> seen(kThreads, nullptr);
    std::vector<char> passed(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { passed[i] = Rounds(dll, i % 2 == 0, &seen[i]); });
    for (std::thread& thread : threads)
        thread.join();
    running = false;
    poller.join();

    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(passed[i]) << "thread " << i;
        EXPECT_EQ(seen[i], seen[0]) << "one class object for every thread";
    }
    EXPECT_GT(polls.load(), 0);
    EXPECT_EQ(dll.canUnloadNow(), S_OK) << "every object, reference and lock given back";
    // The cached class object holds one reference of its own.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll.ClassObject(&factory), S_OK);
    EXPECT_EQ(factory, seen[0]);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(dll.canUnloadNow(), S_OK);
}

} // namespace

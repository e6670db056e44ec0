#pragma once
#include <windows.h>
#include <unknwn.h>
#include <comcat.h>

// Makes one object of a class: the outer IUnknown (or null), the interface asked for, and
// where to put it.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// The component categories a class implements: CATID pointers ending with a null one.
using CategoryList = const CATID* const*;

// One served class: ShellExtension, and the Explorer command of Windows 11's compact menu.
struct ClassEntry {
    const CLSID* classId;
    HRESULT (*UpdateRegistration)(bool registering); // runs the class's registry script
    HRESULT (*CreateClassObject)(InstanceCreator creator, REFIID riid, void** ppv);
    InstanceCreator CreateInstance;
    IUnknown* volatile classObject;    // owns one reference once made
    CategoryList (*GetCategoryList)(); // null: none
    void (*ObjectMain)(bool starting);
};

// Registers or removes a class's component categories; nothing for no list or a null class.
HRESULT UpdateClassCategories(REFCLSID classId, CategoryList categories, bool registering);

// The class table and the cached class objects.
class ClassRegistry {
public:
    ClassRegistry() noexcept;
    ~ClassRegistry();
    ClassRegistry(const ClassRegistry&) = delete;
    ClassRegistry& operator=(const ClassRegistry&) = delete;

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) noexcept;
    HRESULT RegisterAllClasses() noexcept;
    HRESULT UnregisterAllClasses() noexcept;
    void CallObjectMain(bool starting) noexcept;
    bool Start() noexcept;
    void Stop() noexcept;

    LONG started;
    HINSTANCE typeLibraryInstance;
    ClassEntry* const* classTable;
    int classCount;
    CRITICAL_SECTION registryLock;

private:
    bool m_lockReady;
};

extern ClassRegistry classRegistry;

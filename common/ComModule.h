// The COM server state of this image: the counts of live objects and of
// LockServer locks that decide whether it may unload, and the class table
// that drives class objects, registration and unregistration alike.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

// Creates a new object of a class and returns it through QueryInterface.
using ComCreator = HRESULT (*)(REFIID iid, void** object);
// Writes (registering == true) or removes the registry entries of a class that
// go beyond the standard class keys; called after the standard keys are
// written and before they are removed.
using ComRegistryHook = HRESULT (*)(bool registering);

// A class or library identifier as the registry spells it: "{...}" in upper case.
std::wstring GuidText(const GUID& guid);

// One row of the class table.
struct ComClassEntry {
    const CLSID* clsid;
    // Version-independent ProgIDs, the class's main one first; the unused slot
    // is null. Each is registered together with its versioned form (".1").
    const wchar_t* progIds[2];
    const wchar_t* description;
    ComCreator create;
    const wchar_t* threadingModel = L"Apartment";
    ComRegistryHook extraRegistration = nullptr;
    // The class is served by this image as a program (LocalServer32 with the
    // quoted program path, and Programmable) instead of as a library.
    bool localServer = false;
    // The application identifier the class key names in its AppID value; null: none.
    const GUID* appId = nullptr;
};

// Creates HKCR\\subkey (with the keys above it) and sets one string value; a
// null name sets the default value.
[[nodiscard]] HRESULT SetClassesString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value);
// Deletes HKCR\\subkey with everything below it; a missing key is no failure.
[[nodiscard]] HRESULT DeleteClassesTree(const std::wstring& subkey);

// Writes (registering) or removes HKCR\AppID\{appId} with default value name,
// and HKCR\AppID\<imageName> whose AppID value names the identifier.
[[nodiscard]] HRESULT RegisterAppId(const GUID& appId, const wchar_t* name, const wchar_t* imageName,
                                    bool registering);

class ComModule {
public:
    ComModule() = default;
    ComModule(const ComModule&) = delete;
    ComModule& operator=(const ComModule&) = delete;

    // The module of this image; ComObject counts its objects here.
    static ComModule& Instance();

    // Sets the class table and the type library (identifier and TYPELIB
    // resource number in this image; null: the module has none). Returns *this.
    ComModule& Initialize(std::vector<ComClassEntry> classes, const GUID* typeLibId = nullptr,
                          UINT typeLibResource = 1);
    // Forgets the table and releases the type information cached for IDispatch.
    void Terminate();

    ULONG IncrementObjectCount() noexcept { return ++objects_; }
    ULONG DecrementObjectCount() noexcept { return --objects_; }
    ULONG ObjectCount() const noexcept { return objects_; }
    ULONG Lock() noexcept { return ++locks_; }
    // Never below zero: an unbalanced unlock must not wrap round and pin the module.
    ULONG Unlock() noexcept;
    ULONG LockCount() const noexcept { return locks_; }

    // S_OK when no object and no lock is alive, else S_FALSE.
    [[nodiscard]] HRESULT CanUnloadNow() const noexcept;
    // A class factory for a class of the table.
    [[nodiscard]] HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const noexcept;
    const ComClassEntry* Find(REFCLSID clsid) const noexcept;
    const std::vector<ComClassEntry>& Classes() const noexcept { return classes_; }

    // Writes every class of the table with this image as its server (in-process
    // or, for local-server rows, the program), then registers the type library. Stops at the first failure and returns it.
    [[nodiscard]] HRESULT RegisterServer() const;
    // Removes what RegisterServer writes; missing keys are not failures. Goes
    // through every class and returns the first failure, S_OK when none.
    [[nodiscard]] HRESULT UnregisterServer() const;

    // Path of the type library inside this image, as LoadTypeLibEx takes it.
    std::wstring TypeLibPath() const;

private:
    std::atomic<ULONG> objects_{0};
    std::atomic<ULONG> locks_{0};
    std::vector<ComClassEntry> classes_;
    GUID typeLibId_ = GUID_NULL;
    bool hasTypeLib_ = false;
    UINT typeLibResource_ = 1;
};

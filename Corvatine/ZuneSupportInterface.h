// What a caller of the Zune device server needs: the class and interface ids, the interface
// as the v-table holds it (the same order as Corvatine.idl).
//
//     IZuneSupport* zune = nullptr;
//     CoCreateInstance(CLSID_ZuneSupport, nullptr, CLSCTX_INPROC_SERVER, IID_IZuneSupport,
//                      reinterpret_cast<void**>(&zune));
//     wchar_t output[1024];
//     ULONG index = static_cast<ULONG>(-1), count = 0;
//     zune->Initialize(name, &index, &count, reinterpret_cast<BSTR*>(output), 1024, nullptr);
//
// Every method but ResetDevice writes a status text into the caller's own buffer, passed as
// BSTR* with its length in characters; texts beginning "ERROR: " report failures, "shown" means
// the user was told already. During a transfer the caller's window gets WM_ADD_PROGRESS
// (SuiteMessages.h), sent: wParam 10 before the transfer, then the bytes of each chunk copied;
// lParam 0. A reply of 0 cancels the transfer.
#pragma once

#include "SuiteMessages.h"

#include <windows.h>
#include <oaidl.h>

inline constexpr GUID LIBID_CorvatineLib = {0x0449FCE1, 0x4ECC, 0x4D8F, {0x93, 0xA1, 0x7E, 0x66, 0xDF, 0x73, 0xD7, 0xFF}};
inline constexpr CLSID CLSID_ZuneSupport = {0xEA5D6A40, 0x28C5, 0x4323, {0xAE, 0xED, 0xBD, 0xA8, 0x05, 0x48, 0x65, 0xEC}};
inline constexpr IID IID_IZuneSupport = {0xA61CC2E7, 0xFC87, 0x4E9D, {0xB7, 0xAE, 0x8B, 0xD7, 0xFF, 0x87, 0x38, 0xAE}};
inline constexpr GUID APPID_Corvatine = {0xDD9B4CE8, 0x562C, 0x43AF, {0xA1, 0x9D, 0x9E, 0x7F, 0x14, 0xE1, 0x8A, 0xF4}};
inline constexpr CLSID CLSID_CompReg = {0xA92EDBEB, 0xC52A, 0x40D4, {0x8B, 0xCB, 0xD4, 0x67, 0x9A, 0x87, 0xA6, 0x95}};
inline constexpr IID IID_IComponentRegistrar = {0x7C3A9D51, 0x2E84, 0x4F0B, {0x9A, 0x6D, 0x5B, 0x1E, 0x8C, 0x0F, 0x4D, 0x21}};

// The result of a transfer the caller's window cancelled.
inline constexpr HRESULT ZUNE_E_CANCELLED = static_cast<HRESULT>(0x8004500B);

struct IZuneSupport : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Initialize(BSTR DeviceFriendlyName, ULONG* DeviceIndex, ULONG* NumDevice,
                                                 BSTR* Output, ULONG OutputLen, BSTR ClientName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnected(BSTR DeviceFriendlyName, ULONG* DeviceIndex, BSTR Password,
                                                   BYTE* LeafCert, ULONG LeafCertLen, HWND hwndCaller, BSTR* Output,
                                                   ULONG OutputLen, LONG* pbRetry) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckConnection(BSTR DeviceFriendlyName, HWND hwndCaller, BSTR* Output,
                                                      ULONG OutputLen, LONG* pbIsConnected) = 0;
    virtual HRESULT STDMETHODCALLTYPE TransferToZune(BSTR VPObjID, BSTR FilePath, BSTR ImgFilePath, BSTR MediaTitle,
                                                     BSTR TargetFileName, BSTR Artist, ULONGLONG Duration,
                                                     ULONGLONG FileSize, HWND hwndCaller, BSTR* Output,
                                                     ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE TransferToZuneEx(BSTR DeviceFriendlyName, BSTR Password, BYTE* LeafCert,
                                                       ULONG LeafCertLen, BSTR FilePath, BSTR ImgFilePath,
                                                       BSTR MediaTitle, BSTR TargetFileName, BSTR Artist,
                                                       ULONGLONG Duration, ULONGLONG FileSize, HWND hwndCaller,
                                                       BSTR* Output, ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteFromZune(BSTR ObjectID, HWND hwndCaller, BSTR* Output,
                                                     ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteFromZuneEx(BSTR DeviceFriendlyName, BSTR Password, BYTE* LeafCert,
                                                       ULONG LeafCertLen, BSTR FileName, HWND hwndCaller,
                                                       BSTR* Output, ULONG OutputLen) = 0;
    // First with ObjectIdList null: NumObjects = how many children to make room for; then with
    // NumObjects entries: ObjectIdList[k] and ObjectNameList[k] point to buffers of 1024
    // characters, (*AttrList)[k] (zeroed by the caller) and (*SizeList)[k] are filled.
    virtual HRESULT STDMETHODCALLTYPE GetObjectIdList(BSTR ParentObjId, BSTR* ParentObjName, ULONG* NumObjects,
                                                      LPWSTR* ObjectIdList, LPWSTR* ObjectNameList, ULONG** AttrList,
                                                      ULONGLONG** SizeList, BSTR* Output, ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectIdListEx(BSTR DeviceFriendlyName, BSTR ParentObjId,
                                                        BSTR* ParentObjName, ULONG* NumObjects, LPWSTR* ObjectIdList,
                                                        LPWSTR* ObjectNameList, ULONG** AttrList,
                                                        ULONGLONG** SizeList, BSTR* Output, ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStorageSize(ULONGLONG* MaxCapacity, ULONGLONG* FreeSpace, BSTR* Output,
                                                           ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStorageSizeEx(BSTR DeviceFriendlyName, ULONGLONG* MaxCapacity,
                                                             ULONGLONG* FreeSpace, BSTR* Output,
                                                             ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesTargetExist(BSTR FolderObjID, BSTR TargetName, BSTR* Output,
                                                      ULONG OutputLen) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetDevice(int nCloseSteps) = 0;
};

// The module's component registrar.
struct IComponentRegistrar : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Attach(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetComponents(SAFEARRAY** clsids, SAFEARRAY** descriptions) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterComponent(BSTR clsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterComponent(BSTR clsid) = 0;
};

// The listing's attribute bits.
inline constexpr ULONG ZUNE_ATTR_FOLDER = 0x00000008 | 0x01000000;
inline constexpr ULONG ZUNE_ATTR_AUDIO = 0x00000020;
inline constexpr ULONG ZUNE_ATTR_CAN_DELETE = 0x00008000;
inline constexpr ULONG ZUNE_ATTR_HIDDEN = 0x00400000;

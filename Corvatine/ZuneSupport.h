// The ZuneSupport object: the IZuneSupport methods over the device list and session, with the
// connection state the wizard relies on (None -> Located -> Opened -> Connected).
#pragma once

#include "Dispatch.h"
#include "Object.h"
#include "ZuneDevice.h"
#include "ZuneSupportInterface.h"

enum class ConnectionState : LONG { None = 0, Located = 1, Opened = 2, Connected = 3 };

class CZuneSupport : public com::ObjectRoot<com::FreeThreading>, public com::Dispatch<IZuneSupport, &IID_IZuneSupport> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CZuneSupport, IZuneSupport>(IID_IZuneSupport),
            com::Implements<CZuneSupport, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }

    // Late binding reaches only the methods that write into no caller buffer: a script cannot
    // say how long the buffer it hands over really is. The v-table is unchanged.
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHODIMP Initialize(BSTR DeviceFriendlyName, ULONG* DeviceIndex, ULONG* NumDevice, BSTR* Output,
                            ULONG OutputLen, BSTR ClientName) override;
    STDMETHODIMP GetConnected(BSTR DeviceFriendlyName, ULONG* DeviceIndex, BSTR Password, BYTE* LeafCert,
                              ULONG LeafCertLen, HWND hwndCaller, BSTR* Output, ULONG OutputLen, LONG* pbRetry) override;
    STDMETHODIMP CheckConnection(BSTR DeviceFriendlyName, HWND hwndCaller, BSTR* Output, ULONG OutputLen,
                                 LONG* pbIsConnected) override;
    STDMETHODIMP TransferToZune(BSTR VPObjID, BSTR FilePath, BSTR ImgFilePath, BSTR MediaTitle, BSTR TargetFileName,
                                BSTR Artist, ULONGLONG Duration, ULONGLONG FileSize, HWND hwndCaller, BSTR* Output,
                                ULONG OutputLen) override;
    STDMETHODIMP TransferToZuneEx(BSTR DeviceFriendlyName, BSTR Password, BYTE* LeafCert, ULONG LeafCertLen,
                                  BSTR FilePath, BSTR ImgFilePath, BSTR MediaTitle, BSTR TargetFileName, BSTR Artist,
                                  ULONGLONG Duration, ULONGLONG FileSize, HWND hwndCaller, BSTR* Output,
                                  ULONG OutputLen) override;
    STDMETHODIMP DeleteFromZune(BSTR ObjectID, HWND hwndCaller, BSTR* Output, ULONG OutputLen) override;
    STDMETHODIMP DeleteFromZuneEx(BSTR DeviceFriendlyName, BSTR Password, BYTE* LeafCert, ULONG LeafCertLen,
                                  BSTR FileName, HWND hwndCaller, BSTR* Output, ULONG OutputLen) override;
    STDMETHODIMP GetObjectIdList(BSTR ParentObjId, BSTR* ParentObjName, ULONG* NumObjects, LPWSTR* ObjectIdList,
                                 LPWSTR* ObjectNameList, ULONG** AttrList, ULONGLONG** SizeList, BSTR* Output,
                                 ULONG OutputLen) override;
    STDMETHODIMP GetObjectIdListEx(BSTR DeviceFriendlyName, BSTR ParentObjId, BSTR* ParentObjName, ULONG* NumObjects,
                                   LPWSTR* ObjectIdList, LPWSTR* ObjectNameList, ULONG** AttrList,
                                   ULONGLONG** SizeList, BSTR* Output, ULONG OutputLen) override;
    STDMETHODIMP GetDeviceStorageSize(ULONGLONG* MaxCapacity, ULONGLONG* FreeSpace, BSTR* Output,
                                      ULONG OutputLen) override;
    STDMETHODIMP GetDeviceStorageSizeEx(BSTR DeviceFriendlyName, ULONGLONG* MaxCapacity, ULONGLONG* FreeSpace,
                                        BSTR* Output, ULONG OutputLen) override;
    STDMETHODIMP DoesTargetExist(BSTR FolderObjID, BSTR TargetName, BSTR* Output, ULONG OutputLen) override;
    STDMETHODIMP ResetDevice(int nCloseSteps) override;

private:
    // The steps TransferToZune and TransferToZuneEx share once the session is open: the
    // caller's window asked, the folder chosen (searched by wholeDevice or under the storage),
    // the file and its album art sent. S_FALSE, with the texts in the output instead of the new
    // object's id, when the maker's folder could not be made (the file went to the storage) or
    // the file went without its album art.
    HRESULT Transfer(ZuneDeviceSession& session, BSTR folderId, bool wholeDevice, BSTR FilePath, BSTR ImgFilePath,
                     BSTR MediaTitle, BSTR TargetFileName, BSTR Artist, ULONGLONG Duration, ULONGLONG FileSize,
                     HWND hwndCaller, const TextBuffer& output);
    int ShowBox(HWND owner, const wchar_t* text, UINT type) const;

    ConnectionState m_state = ConnectionState::None;
    LONG m_connectedIndex = -1;
    LONG m_locatedIndex = -1;
    ZuneDeviceList m_list;
    ZuneDeviceSession m_session;
};

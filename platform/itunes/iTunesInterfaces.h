// The iTunes automation interfaces as the device wizard calls them (iTunesStandin.idl describes
// the same interfaces for the type library; the two keep the same order of members), with the
// numbers and kinds their callers test.
#pragma once

#include <windows.h>
#include <oaidl.h>

inline constexpr GUID LIBID_iTunesStandin = {0x5521ABB5, 0xAC0B, 0x4B92, {0x8F, 0xCC, 0xA7, 0x7D, 0x8B, 0xB0, 0xA3, 0x3A}};
// The stand-in program's AppID.
inline constexpr GUID APPID_iTunesStandin = {0x4D959FC8, 0x6034, 0x4579, {0xA0, 0x91, 0x97, 0x77, 0x52, 0x34, 0x2F, 0x34}};
inline constexpr CLSID CLSID_iTunesApp = {0xDC0C2640, 0x1415, 0x4644, {0x87, 0x5C, 0x6F, 0x4D, 0x76, 0x98, 0x39, 0xBA}};

// Source kinds, playlist kinds and special kinds, artwork formats.
enum ITSourceKind : LONG { ITSourceKindLibrary = 1, ITSourceKindIPod = 2 };
enum ITPlaylistKind : LONG { ITPlaylistKindLibrary = 1, ITPlaylistKindUser = 2 };
enum ITUserPlaylistSpecialKind : LONG { ITUserPlaylistSpecialKindNone = 0, ITUserPlaylistSpecialKindAudiobooks = 9 };
enum ITArtworkFormat : LONG { ITArtworkFormatUnknown = 0, ITArtworkFormatJPEG = 1, ITArtworkFormatPNG = 2, ITArtworkFormatBMP = 3 };
// Search fields of IITPlaylist::Search.
enum ITPlaylistSearchField : LONG { ITPlaylistSearchFieldAll = 0, ITPlaylistSearchFieldVisible = 1 };

// Codes iTunes answers with.
inline constexpr HRESULT ITUNES_E_OBJECTLOCKED = static_cast<HRESULT>(0xA0040203);  // the iPod is synced automatically
inline constexpr HRESULT ITUNES_E_DEVICEBUSY = static_cast<HRESULT>(0x80045000);    // an add is still running
inline constexpr HRESULT ITUNES_E_USERCANCEL = static_cast<HRESULT>(0x8004500B);

struct IITObject;
struct IITSource;
struct IITSourceCollection;
struct IITIPodSource;
struct IITPlaylist;
struct IITLibraryPlaylist;
struct IITUserPlaylist;
struct IITPlaylistCollection;
struct IITTrack;
struct IITFileOrCDTrack;
struct IITTrackCollection;
struct IITArtwork;
struct IITArtworkCollection;
struct IITOperationStatus;
struct IITConvertOperationStatus;
struct IITEncoder;
struct IITEncoderCollection;
struct IiTunes;

inline constexpr IID IID_IITObject = {0x6F3184F0, 0x95A3, 0x4C67, {0x8B, 0x62, 0x69, 0xD3, 0x64, 0x23, 0xF9, 0x86}};
struct IITObject : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetITObjectIDs(LONG* sourceID, LONG* playlistID, LONG* trackID, LONG* databaseID) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Index(LONG* index) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITObject, 0x6F3184F0, 0x95A3, 0x4C67, 0x8B, 0x62, 0x69, 0xD3, 0x64, 0x23, 0xF9, 0x86)
#endif

inline constexpr IID IID_IITSource = {0xC6FB0261, 0x6393, 0x43EF, {0x8B, 0xBC, 0x2D, 0xEB, 0x98, 0xA8, 0x5C, 0xA3}};
struct IITSource : public IITObject {
    virtual HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Capacity(double* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FreeSpace(double* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Playlists(IITPlaylistCollection** playlists) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITSource, 0xC6FB0261, 0x6393, 0x43EF, 0x8B, 0xBC, 0x2D, 0xEB, 0x98, 0xA8, 0x5C, 0xA3)
#endif

// An iPod source: what iTunes does with the iPod itself.
inline constexpr IID IID_IITIPodSource = {0x7E3B1A52, 0x4C8D, 0x4F06, {0x9A, 0x1E, 0x35, 0xB2, 0x6D, 0x90, 0xC4, 0x17}};
struct IITIPodSource : public IITSource {
    // Ejects the iPod (it leaves iTunes' sources).
    virtual HRESULT STDMETHODCALLTYPE EjectIPod() = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITIPodSource, 0x7E3B1A52, 0x4C8D, 0x4F06, 0x9A, 0x1E, 0x35, 0xB2, 0x6D, 0x90, 0xC4, 0x17)
#endif

inline constexpr IID IID_IITSourceCollection = {0xE33C820D, 0x769F, 0x4E44, {0xB6, 0x10, 0xB2, 0xA6, 0xDB, 0x01, 0x5D, 0xD2}};
struct IITSourceCollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITSource** source) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ItemByName(BSTR name, IITSource** source) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITSourceCollection, 0xE33C820D, 0x769F, 0x4E44, 0xB6, 0x10, 0xB2, 0xA6, 0xDB, 0x01, 0x5D, 0xD2)
#endif

inline constexpr IID IID_IITPlaylist = {0x394A6F18, 0x5D20, 0x48E2, {0xA1, 0x2C, 0x25, 0xDE, 0xAE, 0x9D, 0x6E, 0xA8}};
struct IITPlaylist : public IITObject {
    virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Source(IITSource** source) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Tracks(IITTrackCollection** tracks) = 0;
    virtual HRESULT STDMETHODCALLTYPE Search(BSTR text, LONG field, IITTrackCollection** tracks) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITPlaylist, 0x394A6F18, 0x5D20, 0x48E2, 0xA1, 0x2C, 0x25, 0xDE, 0xAE, 0x9D, 0x6E, 0xA8)
#endif

inline constexpr IID IID_IITLibraryPlaylist = {0x53AE1704, 0x491C, 0x4289, {0x94, 0xA0, 0x95, 0x88, 0x15, 0x67, 0x5A, 0x3D}};
struct IITLibraryPlaylist : public IITPlaylist {
    virtual HRESULT STDMETHODCALLTYPE AddFile(BSTR path, IITOperationStatus** status) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddTrack(IITTrack* track, IITTrack** added) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITLibraryPlaylist, 0x53AE1704, 0x491C, 0x4289, 0x94, 0xA0, 0x95, 0x88, 0x15, 0x67, 0x5A, 0x3D)
#endif

inline constexpr IID IID_IITUserPlaylist = {0x0A504DED, 0xA0B5, 0x465A, {0x8A, 0x94, 0x50, 0xE2, 0x0D, 0x7D, 0xF6, 0x92}};
struct IITUserPlaylist : public IITPlaylist {
    virtual HRESULT STDMETHODCALLTYPE AddFile(BSTR path, IITOperationStatus** status) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddTrack(IITTrack* track, IITTrack** added) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SpecialKind(LONG* kind) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITUserPlaylist, 0x0A504DED, 0xA0B5, 0x465A, 0x8A, 0x94, 0x50, 0xE2, 0x0D, 0x7D, 0xF6, 0x92)
#endif

inline constexpr IID IID_IITPlaylistCollection = {0xCECD9762, 0x91E1, 0x4787, {0xBD, 0x0D, 0x84, 0x76, 0xA1, 0xEA, 0x38, 0xF9}};
struct IITPlaylistCollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITPlaylist** playlist) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ItemByName(BSTR name, IITPlaylist** playlist) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITPlaylistCollection, 0xCECD9762, 0x91E1, 0x4787, 0xBD, 0x0D, 0x84, 0x76, 0xA1, 0xEA, 0x38, 0xF9)
#endif

inline constexpr IID IID_IITTrack = {0xB34F92FB, 0x0AA2, 0x4232, {0x9B, 0x42, 0x44, 0xD8, 0x96, 0x8F, 0x08, 0xE2}};
struct IITTrack : public IITObject {
    virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Artist(BSTR* artist) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Artist(BSTR artist) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Album(BSTR* album) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Album(BSTR album) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Genre(BSTR* genre) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Genre(BSTR genre) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TrackNumber(LONG* number) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TrackNumber(LONG number) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Duration(LONG* seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Time(BSTR* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddArtworkFromFile(BSTR path, IITArtwork** artwork) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Artwork(IITArtworkCollection** artwork) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITTrack, 0xB34F92FB, 0x0AA2, 0x4232, 0x9B, 0x42, 0x44, 0xD8, 0x96, 0x8F, 0x08, 0xE2)
#endif

inline constexpr IID IID_IITFileOrCDTrack = {0x00D7FE99, 0x7868, 0x4CC7, {0xAD, 0x9E, 0xAC, 0xFD, 0x70, 0xD0, 0x95, 0x66}};
struct IITFileOrCDTrack : public IITTrack {
    virtual HRESULT STDMETHODCALLTYPE get_Location(BSTR* path) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RememberBookmark(VARIANT_BOOL* remember) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_RememberBookmark(VARIANT_BOOL remember) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExcludeFromShuffle(VARIANT_BOOL* exclude) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ExcludeFromShuffle(VARIANT_BOOL exclude) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITFileOrCDTrack, 0x00D7FE99, 0x7868, 0x4CC7, 0xAD, 0x9E, 0xAC, 0xFD, 0x70, 0xD0, 0x95, 0x66)
#endif

inline constexpr IID IID_IITTrackCollection = {0x69D6F37C, 0xC494, 0x4F0D, {0xA1, 0xD5, 0xD1, 0x86, 0xE7, 0xCD, 0xC9, 0xAA}};
struct IITTrackCollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITTrack** track) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ItemByName(BSTR name, IITTrack** track) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITTrackCollection, 0x69D6F37C, 0xC494, 0x4F0D, 0xA1, 0xD5, 0xD1, 0x86, 0xE7, 0xCD, 0xC9, 0xAA)
#endif

inline constexpr IID IID_IITArtwork = {0x65A448B4, 0x64A2, 0x49AD, {0x8D, 0x2C, 0x80, 0xCF, 0xAF, 0x9D, 0x0A, 0x55}};
struct IITArtwork : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveArtworkToFile(BSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Format(LONG* format) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITArtwork, 0x65A448B4, 0x64A2, 0x49AD, 0x8D, 0x2C, 0x80, 0xCF, 0xAF, 0x9D, 0x0A, 0x55)
#endif

inline constexpr IID IID_IITArtworkCollection = {0x99449574, 0x3D2D, 0x44DF, {0xA0, 0xA4, 0xD8, 0xD4, 0xFC, 0x3B, 0x7E, 0x3A}};
struct IITArtworkCollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITArtwork** artwork) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITArtworkCollection, 0x99449574, 0x3D2D, 0x44DF, 0xA0, 0xA4, 0xD8, 0xD4, 0xFC, 0x3B, 0x7E, 0x3A)
#endif

inline constexpr IID IID_IITOperationStatus = {0xBF3E8F0A, 0x55F4, 0x4D31, {0x80, 0x3C, 0x9F, 0x53, 0xC7, 0x33, 0xB1, 0xEC}};
struct IITOperationStatus : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_InProgress(VARIANT_BOOL* inProgress) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Tracks(IITTrackCollection** tracks) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITOperationStatus, 0xBF3E8F0A, 0x55F4, 0x4D31, 0x80, 0x3C, 0x9F, 0x53, 0xC7, 0x33, 0xB1, 0xEC)
#endif

inline constexpr IID IID_IITConvertOperationStatus = {0x89D4BBEB, 0x93B0, 0x4A70, {0xBC, 0x52, 0x05, 0x19, 0x97, 0x23, 0xC2, 0x4F}};
struct IITConvertOperationStatus : public IITOperationStatus {
    virtual HRESULT STDMETHODCALLTYPE get_ProgressValue(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MaxProgressValue(LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopConversion() = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITConvertOperationStatus, 0x89D4BBEB, 0x93B0, 0x4A70, 0xBC, 0x52, 0x05, 0x19, 0x97, 0x23, 0xC2, 0x4F)
#endif

inline constexpr IID IID_IITEncoder = {0x5571D275, 0x6743, 0x4774, {0x92, 0xEA, 0xA4, 0xF2, 0x66, 0x8A, 0x37, 0x22}};
struct IITEncoder : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Format(BSTR* format) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITEncoder, 0x5571D275, 0x6743, 0x4774, 0x92, 0xEA, 0xA4, 0xF2, 0x66, 0x8A, 0x37, 0x22)
#endif

inline constexpr IID IID_IITEncoderCollection = {0x09EBB3E0, 0x8CAA, 0x4829, {0xB1, 0x5B, 0xFB, 0x74, 0x61, 0x54, 0xDA, 0x2A}};
struct IITEncoderCollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITEncoder** encoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ItemByName(BSTR name, IITEncoder** encoder) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IITEncoderCollection, 0x09EBB3E0, 0x8CAA, 0x4829, 0xB1, 0x5B, 0xFB, 0x74, 0x61, 0x54, 0xDA, 0x2A)
#endif

inline constexpr IID IID_IiTunes = {0x9DD6680B, 0x3EDC, 0x40DB, {0xA7, 0x71, 0xE6, 0xFE, 0x48, 0x32, 0xE3, 0x4A}};
struct IiTunes : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE CheckVersion(LONG major, LONG minor, VARIANT_BOOL* compatible) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Sources(IITSourceCollection** sources) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Encoders(IITEncoderCollection** encoders) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentEncoder(IITEncoder** encoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentEncoder(IITEncoder* encoder) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertFile2(BSTR path, IITConvertOperationStatus** status) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetITObjectByID(LONG sourceID, LONG playlistID, LONG trackID, LONG databaseID, IITObject** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFolderInSource(BSTR name, IITSource* source, IITUserPlaylist** folder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePlaylistInSource(BSTR name, IITSource* source, IITPlaylist** playlist) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LibraryPlaylist(IITLibraryPlaylist** playlist) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IiTunes, 0x9DD6680B, 0x3EDC, 0x40DB, 0xA7, 0x71, 0xE6, 0xFE, 0x48, 0x32, 0xE3, 0x4A)
#endif


// CVPMediaObj: writes a marker text into an MP4 file as its QuickTime chapter list.
#pragma once

#include "Dispatch.h"
#include "MarkerText.h"
#include "Object.h"
#include "TessalineIds.h"

class CVPMediaObj : public com::ObjectRoot<com::ApartmentThreading>,
                    public com::Dispatch<IVPMediaObj, &IID_IVPMediaObj> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CVPMediaObj, IVPMediaObj>(IID_IVPMediaObj),
            com::Implements<CVPMediaObj, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }

    // The last release closes what is still open.
    void FinalRelease() { Close(nullptr); }

    // E_INVALIDARG for a null argument, E_OUTOFMEMORY or E_FAIL when the state block or other
    // memory cannot be had, E_FAIL when the file cannot be opened as an MP4 file or the new chapters could not
    // be written (the file is then unchanged); else S_OK, also when the file has no sound
    // track or the text gives no chapter (the file is then unchanged).
    STDMETHODIMP AddMediaMarkers(LPSTR lpszMP4FilePath, LPSTR lpszMarker) override;
    STDMETHODIMP Close(LPSTR lpszMarker) override;

private:
    // The per-object state, in a movable global memory block from the first AddMediaMarkers
    // to Close.
    struct State {
        MP4FileHandle file;
        MP4TrackId soundTrack;
        MarkerEntry entries[kMaxMarkers];
    };

    int ParseMarkerText(State& state, const char* text, int length);
    // Turns the first count entries into chapters for the open file; how many were set.
    int WriteChapters(State& state, int count);
    // Writes the text's chapters into the open file, if it gives any.
    void WriteMarkerText(State& state, const char* text);

    HGLOBAL m_state = nullptr;
};

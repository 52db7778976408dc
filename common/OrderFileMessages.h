// The string-table ids of the messages the order-file readers store when a required
// item is missing. Each program has its own numbering; Standard() is the wizards'.
#pragma once

#include <windows.h>

struct COrderFileMessages {
    UINT invalidFormat;        // the text is not one XML element
    UINT badRoot;              // the root is not "VesperlinMedia"
    UINT noMediaId;
    UINT noMetadata;
    UINT noProtocol;
    UINT noPart;
    UINT noTitle;
    UINT noSortTitle;
    UINT noCreatorName;
    UINT noCreatorFileAs;
    UINT noCreatorRole;
    UINT noSubjectName;
    UINT noLanguageName;
    UINT noLanguageCode;
    UINT noProtocolMethod;
    UINT noProtocolUrl;
    UINT noPartNumber;
    UINT noPartFileSize;
    UINT noPartName;
    UINT noPartFileName;
    UINT noSourceId;
    UINT noSourceName;
    UINT noSourceWebsite;
    UINT unsupportedContentType;  // "%s": the content type
    // Standard-video titles are refused with this message in a box (0: accepted).
    UINT standardVideoRefused;
    UINT partFileSizeNotBytes;  // a part's size is given but is not a count of bytes

    static const COrderFileMessages& Standard();
};

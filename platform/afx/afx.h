// The class library: include this for the whole core.
#pragma once

#include <windows.h>

#include "AfxIds.h"
#include "AfxMessageBox.h"
#include "AfxResource.h"
#include "ByteOrderMark.h"
#include "CArchive.h"
#include "CException.h"
#include "CFile.h"
#include "CObject.h"
#include "COleDateTime.h"
#include "CString.h"
#include "Collections.h"
#include "Document.h"
#include "ImageList.h"
#include "RegistryKey.h"
#include "StdioFile.h"
#include "TextConversion.h"
#include "WinThread.h"
#include "WinApp.h"
#include "Time.h"
#include "Internet.h"
#include "OleDispatchDriver.h"

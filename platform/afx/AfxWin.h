// The class library's window half: include this for windows, dialogs, controls and drawing.
#pragma once

#include "afx.h"

#include "AnimateCtrl.h"
#include "AxHost.h"
#include "Button.h"
#include "DC.h"
#include "Dialog.h"
#include "Edit.h"
#include "Gdi.h"
#include "Geometry.h"
#include "HtmlHelp.h"
#include "ListBox.h"
#include "ListCtrl.h"
#include "Menu.h"
#include "ProgressCtrl.h"
#include "PropertySheet.h"
#include "Static.h"
#include "ToolTipCtrl.h"
#include "TreeCtrl.h"
#include "Wnd.h"

// Context-help ids of controls, for resource scripts and code alike.
#pragma once

// A control's context-help id: 0x80000000 + (dialog id << 16) + control id. Resource scripts
// give it as a control's last value; the "?" pop-ups of a help file are named by it.
#define HID_CONTROL(dialog, control) (0x80000000 | ((dialog) * 0x10000) | (control))

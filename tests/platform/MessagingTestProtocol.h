#pragma once
// The messages the messaging test helper's window answers (see MessagingTestHelper.cpp).

#include "platform/windows/Messages.h"

constexpr UINT HelperEcho = WM_USER + 1;  // returns wParam + lParam
constexpr UINT HelperCallBack =
    WM_USER + 2;  // sends HelperEcho(lParam, 1) to window wParam, returns that + 1000
constexpr UINT HelperPostBack = WM_USER + 3;    // posts HelperPostedBack(lParam) to window wParam
constexpr UINT HelperPostedBack = WM_USER + 4;  // what HelperPostBack posts
constexpr UINT HelperBusy = WM_USER + 5;        // does not look at its queue for lParam ms, returns 1
constexpr UINT HelperLog = WM_USER + 6;         // writes "got <wParam> <lParam>"
constexpr UINT HelperReplied = WM_USER + 7;     // answers wParam through ReplyMessage, then returns 0
// WM_TIMER: the helper kills the timer and writes "timer <id>".
constexpr UINT HelperCommand = WM_APP + 1;  // a command line is waiting (thread message)

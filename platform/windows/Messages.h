#pragma once
// Message queues, the message loop, posted and sent messages, registered messages and timers.
//
// Every thread gets a message queue the first time it uses one. GetMessageA and PeekMessageA
// first handle the messages sent to the thread's windows (calling their procedures), then
// return posted messages in order, then input (keys and the mouse, see Input.h), then WM_QUIT, then WM_PAINT
// for a window whose update region is not empty (it stays until BeginPaint or ValidateRect empties the
// region), then WM_TIMER for timers that are due (the earliest first; a timer never has more than one
// WM_TIMER waiting).
//
// Posting and sending work from any thread and across processes: a process's windows are
// reached through its Unix-domain datagram socket, whose reader thread puts the messages into
// the owning thread's queue. A thread waiting for the answer to a send still handles the
// messages sent to it (a call can call back) unless it sent with SMTO_BLOCK. A send to a window
// of a process that died fails at once; to a hung one (its thread has not looked for messages
// for the machine's HungThreshold, see platform/files/MachineSettings.h, and is not waiting for any)
// after its time-out, or at once with SMTO_ABORTIFHUNG.

#include "platform/core/Handles.h"
#include "platform/windows/Windows.h"

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSELAST = 0x020E;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
constexpr UINT SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;

// The smallest timer interval; shorter ones are raised to it.
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;

// Waits for a message of the calling thread (window: only that window's; minFilter..maxFilter:
// only that range, 0..0 for all). FALSE for WM_QUIT, -1 on error, TRUE otherwise.
BOOL GetMessageA(MSG* message, HWND window, UINT minFilter, UINT maxFilter);
// As GetMessageA without waiting; PM_REMOVE takes the message out of the queue.
BOOL PeekMessageA(MSG* message, HWND window, UINT minFilter, UINT maxFilter, UINT removeFlags);
// Waits until the calling thread's queue has a message (sent messages are handled meanwhile).
BOOL WaitMessage();
constexpr UINT QS_TIMER = 0x0010;
constexpr UINT QS_PAINT = 0x0020;
constexpr UINT QS_POSTMESSAGE = 0x0008;
constexpr UINT QS_SENDMESSAGE = 0x0040;
constexpr UINT QS_ALLPOSTMESSAGE = 0x0100;

// What the calling thread's queue holds now (QS_* bits in the high word, restricted to flags);
// the low word is the same here, since nothing tracks what is new since the last look.
DWORD GetQueueStatus(UINT flags);
// For WM_KEYDOWN (and WM_SYSKEYDOWN) taken from the queue: queues, to be taken next, WM_CHAR
// (WM_SYSCHAR) with the Unicode code point of each character the key press typed, as the input
// method composed it (dead keys and compose sequences type on their last key). TRUE for a key
// message, FALSE otherwise.
BOOL TranslateMessage(const MSG* message);
// Calls the procedure of the message's window (or the TIMERPROC of a WM_TIMER that carries
// one) and returns its result. A message for a destroyed window gives 0 with
// ERROR_INVALID_WINDOW_HANDLE.
LRESULT DispatchMessageA(const MSG* message);

// Queues a message for the window's thread; a null window posts to the calling thread. Fails
// with ERROR_INVALID_WINDOW_HANDLE when the window (or its process) is gone; a window of
// another process that was destroyed meanwhile drops the message.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a message for a thread of this process (ERROR_INVALID_THREAD_ID when none).
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Sends and waits for the window procedure's result without time-out; 0 on failure.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Sends with a time-out in milliseconds. Nonzero on success with the procedure's result in
// *result; 0 on failure or time-out (ERROR_TIMEOUT, ERROR_INVALID_WINDOW_HANDLE).
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            DWORD_PTR* result);
// Answers the message being handled now, if it was sent by another thread: the sender resumes
// with result while the procedure goes on. TRUE when there was a sender to answer.
BOOL ReplyMessage(LRESULT result);
// Whether the message being handled was sent by another thread.
BOOL InSendMessage();

// The same number for the same name (compared without regard to case) in every process of the
// machine, from 0xC000 to 0xFFFF; 0 with ERROR_INVALID_PARAMETER for an empty name or
// ERROR_NOT_ENOUGH_MEMORY when the range is used up.
UINT RegisterWindowMessageA(const char* name);

// Starts or restarts timer id of a window of this process (or, with no window, a thread timer
// with a new id). Returns the id, 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

constexpr DWORD QS_KEY = 0x0001;
constexpr DWORD QS_MOUSEMOVE = 0x0002;
constexpr DWORD QS_MOUSEBUTTON = 0x0004;
constexpr DWORD QS_INPUT = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON;
constexpr DWORD QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT;
constexpr DWORD QS_ALLINPUT = QS_ALLEVENTS | QS_SENDMESSAGE;

// Waits until one of the handles is signalled (all of them with waitAll), or the calling
// thread's queue holds a message of a kind in wakeMask (QS_*), or the time-out passes. Returns
// WAIT_OBJECT_0 + the handle's index, WAIT_OBJECT_0 + count for a message, WAIT_TIMEOUT, or
// WAIT_FAILED (ERROR_INVALID_PARAMETER for more than 64 handles, ERROR_INVALID_HANDLE for a bad
// one). A change made in this process (an event set, a mutex released, a thread ended) or a
// process's end wakes the wait at once; objects another process may change (named events,
// mutexes) are also looked at every few milliseconds. With waitAll, objects signalled early are taken (a
// mutex owned, an auto-reset event reset) before the others are.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);
// How many times the calling thread's MsgWaitForMultipleObjects looked at its objects (tests
// tell a wait that sleeps until something happens from one that looks now and then).
std::uint64_t MessageWaitObjectLooks();

// Waits until process has finished its start-up: its main thread waited for messages for the
// first time. 0 when it has, WAIT_TIMEOUT after milliseconds, WAIT_FAILED for a bad handle or a
// process that ended first.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);
// The same for a process known by its id.
DWORD WaitForProcessInputIdle(DWORD processId, DWORD milliseconds);

#pragma once
// The display back end behind windows and drawing: the X server (platform/display) or a memory
// screen (DisplayHeadless.cpp). Internal to the platform layer.
//
// The back end is chosen once, on first use: DISPLAY set and not empty selects the X server,
// otherwise the memory screen (tests may force it, DisplayTesting.h). An X server that cannot be
// reached is never replaced by the memory screen: showing a window then fails with a clear
// message on standard error and a trace line.
//
// Every top-level window keeps its client pixels in a surface of its own (the window table's
// TWindow::Surface); the back end shows those pixels. The back end also makes those surfaces
// (CreateWindowSurface), so their memory is where it can show them from without a copy (the X
// server's shared memory). It is called without the window table's lock and without the GDI
// lock, and takes them itself (window table, then GDI, then its own); CreateWindowSurface alone
// may be called with both held.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/Region.h"
#include "platform/windows/Surface.h"
#include "platform/windows/Windows.h"

// What the back end needs to know of a top-level window.
struct TTopLevelView {
  HWND Window = nullptr;
  RECT Bounds{0, 0, 0, 0};       // on the screen, as presented (scaled)
  SIZE Logical{0, 0};            // the client size the program draws at
  std::optional<TRegion> Shape;  // window coordinates of the logical size; none: the whole window
  std::shared_ptr<TSurface> Surface;
  bool Topmost = false;
  bool ToolWindow = false;
  bool Borderless = true;
  std::string Title;
};

// Unsupported: the back end cannot, or no key of the keyboard gives the virtual key; Taken:
// another program holds the key.
enum class TKeyGrab { Grabbed, Taken, Unsupported };

class TDisplay {
 public:
  virtual ~TDisplay() = default;

  // "x11" or "headless".
  virtual const char* Name() const noexcept = 0;
  // Connects when not yet connected; false (reported once) when the server cannot be reached.
  virtual bool Open() = 0;
  virtual SIZE ScreenSize() = 0;
  virtual int Depth() = 0;
  virtual bool SharedMemory() = 0;
  // The primary monitor's rectangle on the screen.
  virtual RECT PrimaryMonitor() = 0;

  // A zeroed 32-bit top-down surface for a top-level window's client pixels; null as
  // TSurface::Create fails. Takes no lock of the back end.
  virtual std::unique_ptr<TSurface> CreateWindowSurface(LONG width, LONG height);

  // The window is shown (or was moved, resized, reshaped, restacked or retitled while shown).
  // False with the last error set when the back end cannot show windows.
  virtual bool Show(const TTopLevelView& view) = 0;
  virtual void Hide(HWND window) = 0;
  // The window goes; the back end forgets it.
  virtual void Remove(HWND window) = 0;
  // Shows changed pixels of a shown window (rect in the window's logical coordinates).
  virtual void Present(HWND window, const RECT& changed) = 0;
  // How many presents reached the screen.
  virtual std::uint64_t PresentCount() const noexcept = 0;

  // Input. The pointer is grabbed for the window holding the capture (null: released); the
  // cursor is shown over the program's windows (image null: the stock cursor of that handle);
  // the pointer moves; a top-level window is raised and given the keyboard.
  virtual void GrabPointer(HWND) {}
  virtual void ShowCursor(HCURSOR, const struct TCursorImage*) {}
  virtual void WarpPointer(POINT) {}
  // Where the pointer is and whether one of the program's windows is under it; false when the
  // back end does not know (the memory screen: the program's own record is the truth).
  virtual bool QueryPointer(POINT&, bool&) { return false; }
  // Where the pointer is on the screen, wherever it is (one round trip, no walk down the window
  // tree); false when the back end does not know.
  virtual bool PointerPosition(POINT&) { return false; }
  virtual void Activate(HWND) {}
  // Takes (grab) or gives back the keys of the keyboard that give the virtual key with the
  // modifiers (MOD_*), whatever window has the keyboard; their presses reach DeliverHotKey.
  virtual TKeyGrab GrabKey(int /*virtualKey*/, UINT /*modifiers*/, bool /*grab*/)
  {
    return TKeyGrab::Unsupported;
  }

  // Other programs' top-level windows, known by their server id. The window the server (or its
  // window manager) calls active: one of the program's windows in any process (ownProgram), or
  // another program's (foreign); false when the back end does not know.
  virtual bool ServerActiveWindow(HWND& ownProgram, std::uint32_t& foreign)
  {
    ownProgram = nullptr;
    foreign = 0;
    return false;
  }
  virtual bool ForeignWindowExists(std::uint32_t) { return false; }
  virtual std::string ForeignWindowTitle(std::uint32_t) { return {}; }
  virtual bool ActivateForeign(std::uint32_t) { return false; }

  // For tests: the screen's pixel (0x00BBGGRR), and the whole screen as rows of 0x00RRGGBB.
  virtual COLORREF ScreenPixel(LONG x, LONG y) = 0;
  virtual std::vector<std::uint32_t> ScreenImage(SIZE& size) = 0;
};

TDisplay& ActiveDisplay();
// The back end if it was chosen already, else null (never chooses one).
TDisplay* OpenedDisplay();

// The active back end's CreateWindowSurface (choosing the back end, never connecting).
std::unique_ptr<TSurface> CreateWindowSurface(LONG width, LONG height);

std::unique_ptr<TDisplay> MakeHeadlessDisplay(SIZE screen);

// The X server back end lives in platform/display, above this library, and is handed in by the
// program (InstallDisplay there). Until then DISPLAY is ignored and windows are shown on the memory
// screen, as a program without a window on the screen wants (oxa-lib, the headless tests).
using TDisplayMaker = std::unique_ptr<TDisplay> (*)();
void SetServerDisplayMaker(TDisplayMaker make) noexcept;
// Uses this back end from now on; null: chooses again on next use. The old one goes after the
// choice's lock is let go: closing the X connection waits for its reader, which may wait for the
// window table, whose holder may be choosing a back end.
void ReplaceDisplay(std::unique_ptr<TDisplay> display);

// The shown top-level windows, bottom of the stack first (takes the window table's lock).
std::vector<TTopLevelView> ShownTopLevels();
// The view of one top-level window, none when it is not shown.
std::optional<TTopLevelView> TopLevelView(HWND window);

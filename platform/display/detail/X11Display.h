#pragma once
// The X server back end: one connection for the process, one X window per shown top-level
// window, the window's pixels put from its surface (through shared memory when the server is on
// this machine), shapes through the SHAPE extension, and a reader thread that answers exposures
// and close requests and turns pointer, key and focus events into input (platform/windows/InputEvents.h).
// Internal to platform/display; the windows below reach it as a TDisplay (MakeX11Display, handed
// to them by InstallDisplay).
//
// Its members are defined by concern: X11Display.cpp (the connection and the screen),
// X11DisplayWindows.cpp (top-level windows and presenting their surfaces), X11DisplayGrabs.cpp
// (pointer and key grabs, the cursor, the pointer's position), X11DisplayActivation.cpp (the
// active window and other programs' windows) and X11DisplayEvents.cpp (the reader thread).
//
// FLock guards the connection and every data member but the atomics. The overrides take it
// themselves (after the window table's lock and the GDI lock, DisplayBackEnd.h); the helpers below say
// whether they expect it held.

// Before the X headers, whose macros (Status, None) would reach into ours.
#include "platform/windows/InputEvents.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/detail/EndSignals.h"
#include "platform/files/FileDescriptor.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/Windows.h"

// The X window of one shown top-level window of the program.
struct TXWindow {
  Window Id = 0;
  RECT Bounds{0, 0, 0, 0};
  bool Mapped = false;
  // The shared segment the server has attached for the window (shmid -1: none): the one that
  // holds the surface presented last. The server keeps the segment alive while attached, so its
  // id is not reused for another before it is detached here.
  XShmSegmentInfo Attached{0, -1, nullptr, True};
  int Refused = -1;                  // a segment the server would not attach: not asked again
  std::unique_ptr<TSurface> Scaled;  // the scaled picture of a scaled window
  XIC InputContext = nullptr;        // the input method's context for the window's keys
};

class TX11Display final : public TDisplay {
  // Holds the connection's lock. Any call that waits for the server (XSync, a property read)
  // also reads the events that came meanwhile into Xlib's own queue, where the reader thread's
  // poll cannot see them: on the way out the reader is woken when events wait there.
  class TConnectionLock {
   public:
    explicit TConnectionLock(TX11Display& display) : FDisplay(display), FGuard(display.FLock) {}
    ~TConnectionLock();
    TConnectionLock(const TConnectionLock&) = delete;
    TConnectionLock& operator=(const TConnectionLock&) = delete;

   private:
    TX11Display& FDisplay;
    std::lock_guard<std::mutex> FGuard;
  };

 public:
  TX11Display() = default;
  // Stops the reader, then destroys the program's X windows and closes the connection (unless
  // the server went away).
  ~TX11Display() override;

  const char* Name() const noexcept override { return "x11"; }

  // In a shared segment until the connection tells that the server cannot read one: most
  // windows are made before the first is shown, which is when the connection opens.
  std::unique_ptr<TSurface> CreateWindowSurface(LONG width, LONG height) override;

  bool Open() override;
  SIZE ScreenSize() override;
  int Depth() override;
  bool SharedMemory() override;
  // The primary output's CRTC (RandR); the whole screen without one.
  RECT PrimaryMonitor() override;

  bool Show(const TTopLevelView& view) override;
  void Hide(HWND handle) override;
  void Remove(HWND handle) override;
  // One put from the window's surface (or its scaled picture), from a shared segment where the
  // server can attach one.
  void Present(HWND handle, const RECT& changed) override;
  std::uint64_t PresentCount() const noexcept override { return FPresents.load(); }

  COLORREF ScreenPixel(LONG x, LONG y) override;
  std::vector<std::uint32_t> ScreenImage(SIZE& size) override;

  void GrabPointer(HWND topLevel) override;
  TKeyGrab GrabKey(int virtualKey, UINT modifiers, bool grab) override;
  void ShowCursor(HCURSOR handle, const TCursorImage* image) override;
  bool QueryPointer(POINT& screen, bool& overOwnWindow) override;
  bool PointerPosition(POINT& screen) override;
  void WarpPointer(POINT point) override;
  // Through the window manager when one runs (_NET_ACTIVE_WINDOW), else raised and focused here.
  void Activate(HWND topLevel) override;

  bool ServerActiveWindow(HWND& ownProgram, std::uint32_t& foreign) override;
  bool ForeignWindowExists(std::uint32_t id) override;
  std::string ForeignWindowTitle(std::uint32_t id) override;
  bool ActivateForeign(std::uint32_t id) override;

  // The connection's error handler: traces the error and sets FErrorSeen, which the calls that
  // wait for the server read.
  void OnError(const XErrorEvent& error);
  // The server went away: the connection is never used again and the program's message loop is
  // ended.
  void OnLost();

 private:
  // With FLock held.

  // Connects on first use; false, reported once, when the server cannot be reached or its
  // visual is not one the surfaces can be put to. Starts the reader thread.
  bool OpenLocked();
  // The input method composes dead keys and compose sequences; without one, keys type what the
  // keyboard map says.
  void OpenInputMethod();
  // Whether a window manager runs (it names its check window on the root).
  bool WindowManagerRuns();
  // Notes that the connection cannot be had and says why on standard error; false.
  bool Fail(const std::string& reason);
  // Whether the server can attach our segments (it cannot when it runs on another machine).
  bool ProbeSharedMemory();

  void CreateWindowLocked(const TTopLevelView& view, TXWindow& window);
  // Brings the X window to the view's bounds, title and shape, and maps it.
  void ConfigureLocked(const TTopLevelView& view, TXWindow& window);
  // Has the server attach the segment that holds source for window (detaching the one before);
  // false when source is in private memory or the server cannot attach it.
  bool Attach(TXWindow& window, const TSurface& source);
  void Detach(TXWindow& window);

  // The child of the root that holds window (itself when it is one); 0 for none.
  Window TopLevelAncestor(Window window);
  // The program's window handle a window of another of its processes carries; 0 for none.
  std::uint32_t ProgramHandleOf(Window window);
  // The program's window an X window is; null for none.
  HWND WindowOfId(Window id);

  // Gives back the passive grabs GrabKey made for the virtual key with the modifiers held.
  void GrabKeyUndo(int virtualKey, unsigned held, Window root, int first, int last);
  // Turns a pointer or key event into input; false for other events. Moves in a row are coalesced
  // to the latest.
  bool ReadInput(const XEvent& event, std::vector<TInputEvent>& input);

  // Without FLock (they take it as they need it).

  // Stacks the X windows as the program stacks its windows.
  void Restack();
  // Puts an exposed screen area of a window again (window screen coordinates).
  void PresentScreenArea(HWND handle, const RECT& area);

  // The host asked the program to end (signal 0: it did not): the program's message loop is
  // ended. Without one there is nothing to save, and the signal ends the process as it would by
  // default.
  void AskToEnd(int signal);
  // Ends the message loop of the thread that showed the first window; false when no window was
  // ever shown.
  bool EndMessageLoop();
  // The reader thread: waits for the connection (or the wake event, or an end signal), takes
  // what came under the lock and acts on it without.
  void ReadEvents();

  std::mutex FLock;  // guards the connection and everything below but the atomics
  Display* FDisplay = nullptr;
  bool FFailed = false;
  int FScreen = 0;
  int FDepth = 0;
  Visual* FVisual = nullptr;
  GC FGc = nullptr;
  bool FShape = false;
  bool FShm = false;
  // Known that the server reads no shared memory: window surfaces are made in private memory.
  std::atomic<bool> FPrivateSurfaces{false};
  std::atomic<bool> FErrorSeen{false};
  std::atomic<bool> FLost{false};
  std::atomic<bool> FStopping{false};
  std::atomic<HWND> FMainWindow{nullptr};
  std::atomic<std::uint64_t> FPresents{0};
  Atom FHandleAtom = 0;
  Atom FMotifHints = 0;
  Atom FWmState = 0;
  Atom FStateAbove = 0;
  Atom FSkipTaskbar = 0;
  Atom FSkipPager = 0;
  Atom FWmProtocols = 0;
  Atom FDeleteWindow = 0;
  Atom FWmName = 0;
  Atom FUtf8 = 0;
  Atom FActiveWindow = 0;
  Atom FWmCheck = 0;
  std::map<HWND, TXWindow> FWindows;
  XIM FInputMethod = nullptr;
  std::map<HCURSOR, Cursor> FCursors;
  Cursor FCursor = 0;
  HWND FGrabbed = nullptr;
  TFileDescriptor FWake;
  std::unique_ptr<TEndSignals> FEndSignals;
  std::thread FReader;
};

std::unique_ptr<TDisplay> MakeX11Display();

#include "tests/Music/ByHand.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <thread>

// After everything else: the X headers' macros (None, Status) clash with names in other headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace byhand {

THands::THands(const std::string& display) : FDisplay(XOpenDisplay(display.c_str())) {}

THands::~THands()
{
  if (FDisplay != nullptr) {
    XCloseDisplay(FDisplay);
  }
}

void THands::MoveTo(int x, int y)
{
  XTestFakeMotionEvent(FDisplay, -1, x, y, CurrentTime);
  XSync(FDisplay, False);
}

void THands::Button(bool down)
{
  XTestFakeButtonEvent(FDisplay, 1, down ? True : False, CurrentTime);
  XSync(FDisplay, False);
}

void THands::Click(int x, int y)
{
  MoveTo(x - 6, y - 6);
  std::this_thread::sleep_for(150ms);
  MoveTo(x, y);
  std::this_thread::sleep_for(150ms);
  Button(true);
  std::this_thread::sleep_for(50ms);
  Button(false);
  std::this_thread::sleep_for(150ms);
}

void THands::DoubleClick(int x, int y)
{
  MoveTo(x, y);
  std::this_thread::sleep_for(150ms);
  for (int i = 0; i < 2; ++i) {
    Button(true);
    Button(false);
  }
  std::this_thread::sleep_for(100ms);
}

void THands::PressAndHold(int x, int y, std::chrono::milliseconds holdFor)
{
  MoveTo(x, y);
  std::this_thread::sleep_for(150ms);
  Button(true);
  std::this_thread::sleep_for(holdFor);
  Button(false);
  std::this_thread::sleep_for(150ms);
}

void THands::Key(unsigned long keysym, bool down)
{
  XTestFakeKeyEvent(FDisplay, XKeysymToKeycode(FDisplay, keysym), down ? True : False, CurrentTime);
  XSync(FDisplay, False);
}

void THands::Tap(unsigned long keysym)
{
  Key(keysym, true);
  Key(keysym, false);
}

void THands::Chord(const std::vector<unsigned long>& modifiers, unsigned long keysym)
{
  for (const unsigned long modifier : modifiers) {
    Key(modifier, true);
  }
  Tap(keysym);
  for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
    Key(*modifier, false);
  }
}

void THands::CtrlClick(int x, int y)
{
  Key(XK_Control_L, true);
  Click(x, y);
  Key(XK_Control_L, false);
}

namespace {

// The code points of UTF-8 text; a broken sequence stands for itself byte by byte.
std::vector<char32_t> CodePoints(const std::string& utf8)
{
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || i + static_cast<std::size_t>(length) > utf8.size()) {
      points.push_back(lead);
      ++i;
      continue;
    }
    char32_t point = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      point = (point << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    points.push_back(point);
    i += static_cast<std::size_t>(length);
  }
  return points;
}

}  // namespace

void THands::Type(const std::string& utf8)
{
  const std::vector<char32_t> points = CodePoints(utf8);
  // Characters the keyboard has no key for get spare key codes, all of them before the first
  // press, as a keyboard layout would: a map that changes between presses may be read late.
  std::map<char32_t, int> spares;
  int lowest = 0;
  int highest = 0;
  XDisplayKeycodes(FDisplay, &lowest, &highest);
  int perCode = 0;
  KeySym* map = XGetKeyboardMapping(FDisplay, static_cast<KeyCode>(lowest), highest - lowest + 1, &perCode);
  int code = highest;
  for (const char32_t point : points) {
    if (point < 0x80 || spares.count(point) != 0 || map == nullptr) {
      continue;
    }
    for (; code >= lowest; --code) {
      const KeySym* symbols = map + (code - lowest) * perCode;
      if (std::all_of(symbols, symbols + perCode, [](KeySym s) { return s == NoSymbol; })) {
        break;
      }
    }
    if (code < lowest) {
      break;
    }
    KeySym both[2] = {0x01000000 | point, 0x01000000 | point};
    XChangeKeyboardMapping(FDisplay, code, 2, both, 1);
    spares[point] = code--;
  }
  if (map != nullptr) {
    XFree(map);
  }
  if (!spares.empty()) {
    XSync(FDisplay, False);
    std::this_thread::sleep_for(300ms);
  }
  for (const char32_t point : points) {
    if (point == ' ') {
      Tap(XK_space);
    } else if (point < 0x80) {
      const bool upper = point >= 'A' && point <= 'Z';
      if (upper) {
        Key(XK_Shift_L, true);
      }
      Tap(static_cast<KeySym>(upper ? point - 'A' + 'a' : point));
      if (upper) {
        Key(XK_Shift_L, false);
      }
    } else if (const auto spare = spares.find(point); spare != spares.end()) {
      XTestFakeKeyEvent(FDisplay, static_cast<unsigned>(spare->second), True, CurrentTime);
      XTestFakeKeyEvent(FDisplay, static_cast<unsigned>(spare->second), False, CurrentTime);
      XSync(FDisplay, False);
    }
    std::this_thread::sleep_for(30ms);
  }
  if (!spares.empty()) {
    std::this_thread::sleep_for(300ms);
    for (const auto& [point, spare] : spares) {
      KeySym nothing[2] = {NoSymbol, NoSymbol};
      XChangeKeyboardMapping(FDisplay, spare, 2, nothing, 1);
    }
    XSync(FDisplay, False);
  }
}

void THands::Drag(TSpot from, TSpot to)
{
  MoveTo(from.X, from.Y);
  Button(true);
  std::this_thread::sleep_for(100ms);
  constexpr int Steps = 12;
  for (int i = 1; i <= Steps; ++i) {
    MoveTo(from.X + (to.X - from.X) * i / Steps, from.Y + (to.Y - from.Y) * i / Steps);
    std::this_thread::sleep_for(60ms);
  }
  // Held still over the target while the gap opens.
  std::this_thread::sleep_for(400ms);
  MoveTo(to.X, to.Y + 1);
  std::this_thread::sleep_for(200ms);
  Button(false);
  std::this_thread::sleep_for(100ms);
}

TScreenPicture THands::Shot(int left, int top, int width, int height)
{
  TScreenPicture picture;
  XImage* image = XGetImage(FDisplay, DefaultRootWindow(FDisplay), left, top, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) {
    return picture;
  }
  picture.Width = width;
  picture.Height = height;
  picture.Pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.Pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
    }
  }
  XDestroyImage(image);
  return picture;
}

std::vector<THands::TTopWindow> THands::Stacking()
{
  std::vector<TTopWindow> windows;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(FDisplay, DefaultRootWindow(FDisplay), &root, &parent, &children, &count) == 0) {
    return windows;
  }
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(FDisplay, children[i], &attributes) == 0) {
      continue;
    }
    TTopWindow window{children[i],      "",           attributes.map_state == IsViewable,
                      attributes.x,     attributes.y, attributes.width,
                      attributes.height};
    char* name = nullptr;
    if (XFetchName(FDisplay, children[i], &name) != 0 && name != nullptr) {
      window.Name = name;
      XFree(name);
    }
    windows.push_back(window);
  }
  if (children != nullptr) {
    XFree(children);
  }
  return windows;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

bool Retried(const std::function<void()>& action, const std::function<bool()>& effect, int attempts)
{
  for (int i = 0; i < attempts; ++i) {
    action();
    if (WaitFor(effect, 15s)) {
      return true;
    }
  }
  return false;
}

bool ClickUntil(THands& hands, TSpot spot, const std::function<bool()>& effect)
{
  return Retried([&] { hands.Click(spot.X, spot.Y); }, effect);
}

TProgramRun Host(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_HOST_PROGRAM, arguments);
}

TProgramRun Lib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

std::string HostStatus()
{
  return Host({"status"}).Output;
}

std::string StatusField(const std::string& name)
{
  const std::string status = HostStatus();
  for (std::size_t at = status.find(name + ' '); at != std::string::npos;
       at = status.find(name + ' ', at + 1)) {
    const bool starts =
        at >= 2 && (status.compare(at - 2, 2, ": ") == 0 || status.compare(at - 2, 2, "; ") == 0);
    if (!starts) {
      continue;
    }
    const auto begin = at + name.size() + 1;
    const auto end = status.find_first_of(";\n", begin);
    return status.substr(begin, end - begin);
  }
  return {};
}

std::string PublishedTrack()
{
  const TProgramRun run = Host({"status"});
  const std::string marker = "Formatted \"";
  const auto at = run.Output.find(marker);
  if (run.ExitCode != 0 || at == std::string::npos) {
    return {};
  }
  const auto end = run.Output.find('"', at + marker.size());
  return run.Output.substr(at + marker.size(), end - at - marker.size());
}

testing::AssertionResult NothingPublished()
{
  const TProgramRun run = Host({"status"});
  const auto has = [&](const std::string& text) { return run.Output.find(text) != std::string::npos; };
  if (run.ExitCode == 0 &&
      (has("Status: (not published)") || (has("Position 0;") && has("Formatted \"\"")))) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "the status says:\n" << run.Output;
}

std::vector<TListLine> Listed(const std::vector<std::string>& arguments)
{
  std::vector<std::string> command = {"list"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const TProgramRun run = Lib(command);
  std::vector<TListLine> lines;
  std::istringstream text(run.Output);
  for (std::string line; std::getline(text, line);) {
    const auto tab = line.find('\t');
    if (tab != std::string::npos) {
      lines.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
  }
  return lines;
}

std::vector<std::string> Captions(const std::vector<TListLine>& lines)
{
  std::vector<std::string> captions;
  for (const TListLine& line : lines) {
    captions.push_back(line.Caption);
  }
  return captions;
}

std::vector<std::string> Playlists()
{
  std::vector<std::string> names;
  for (const TListLine& line : Listed({"7"})) {
    names.push_back(line.Caption.substr(0, line.Caption.rfind(" (")));
  }
  return names;
}

std::vector<std::string> PlaylistTracks(const std::string& name)
{
  for (const TListLine& line : Listed({"7"})) {
    if (line.Caption.rfind(name + " (", 0) == 0) {
      return Captions(Listed({"7", line.Id}));
    }
  }
  return {"<no list " + name + ">"};
}

TScreenPicture SettledShot(THands& hands, int left, int top, int width, int height)
{
  TScreenPicture last;
  TScreenPicture now = hands.Shot(left, top, width, height);
  WaitFor(
      [&] {
        std::this_thread::sleep_for(300ms);
        last = std::move(now);
        now = hands.Shot(left, top, width, height);
        return last.Pixels == now.Pixels;
      },
      20s);
  return now;
}

bool Blank(const TScreenPicture& picture)
{
  return std::all_of(picture.Pixels.begin(), picture.Pixels.end(),
                     [&](std::uint32_t pixel) { return pixel == picture.Pixels.front(); });
}

double LitShare(const TScreenPicture& picture)
{
  if (picture.Pixels.empty()) {
    return 0;
  }
  const auto lit =
      std::count_if(picture.Pixels.begin(), picture.Pixels.end(), [](std::uint32_t p) { return p != 0; });
  return static_cast<double>(lit) / static_cast<double>(picture.Pixels.size());
}

}  // namespace byhand

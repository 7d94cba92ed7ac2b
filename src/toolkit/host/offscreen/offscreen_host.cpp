#include "toolkit/host/offscreen/offscreen_host.h"

#include <cairo.h>

#include <condition_variable>

#include "toolkit/host/offscreen/offscreen_window.h"
#include "toolkit/messages.h"
#include "toolkit/window/message_loop.h"
#include "toolkit/window/window_base.h"
#include "xml/utf.h"

namespace SkinUI {

namespace {

// Bounds the draining of a script step on the UI thread itself (posted work that posts more).
constexpr int kMaxDrainTurns = 10000;

}  // namespace

OffscreenHost::OffscreenHost(int scale, Size screen)
    : scale_(scale >= 2 ? 2 : 1), screen_(screen) {}

OffscreenHost::~OffscreenHost() = default;

std::unique_ptr<HostWindow> OffscreenHost::CreateNativeWindow(WindowBase& window,
                                                              const NativeWindowParams& params) {
  auto native = std::make_unique<OffscreenWindow>(*this, window, params, scale_);
  if (params.visible) native->Show(ShowCommand::Show);
  return native;
}

void OffscreenHost::Register(OffscreenWindow* window) {
  windows_.push_back(window);
}

void OffscreenHost::Unregister(OffscreenWindow* window) {
  std::erase(windows_, window);
  std::erase(modals_, window);
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = tray_.begin(); it != tray_.end();) {
    if (it->second.owner == &window->Window())
      it = tray_.erase(it);
    else
      ++it;
  }
}

int OffscreenHost::RunLoop() {
  return MessageLoop::Current().Run();
}

void OffscreenHost::RunModalLoop(const std::function<bool()>& done) {
  OffscreenWindow* modal = nullptr;
  for (auto it = windows_.rbegin(); it != windows_.rend() && !modal; ++it)
    if ((*it)->Window().IsModal()) modal = *it;
  if (modal) modals_.push_back(modal);
  if (modal && onModal_) {
    WindowBase* window = &modal->Window();
    std::function<void(WindowBase&)> handler = onModal_;
    MessageLoop::Current().Post([handler, window, this] {
      for (OffscreenWindow* w : modals_)
        if (&w->Window() == window) return handler(*window);
    });
  }
  MessageLoop::Current().RunUntil(done);
  if (modal) std::erase(modals_, modal);
}

std::u16string OffscreenHost::ClipboardText() {
  std::lock_guard<std::mutex> hold(lock_);
  return clipboard_;
}

void OffscreenHost::SetClipboardText(std::u16string_view text) {
  std::lock_guard<std::mutex> hold(lock_);
  clipboard_ = std::u16string(text);
}

std::optional<std::u16string> OffscreenHost::PickFolder(WindowBase*, std::u16string_view title,
                                                        std::u16string_view) {
  std::lock_guard<std::mutex> hold(lock_);
  pickerTitles_.emplace_back(title);
  if (folderAnswers_.empty()) return std::nullopt;
  std::optional<std::u16string> answer = folderAnswers_.front();
  folderAnswers_.pop_front();
  return answer;
}

bool OffscreenHost::AddTrayIcon(WindowBase& window, const TrayIconData& data) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!trayAvailable_) return false;
  TrayRecord& record = tray_[data.id];
  record.data = data;
  record.owner = &window;
  if (!data.balloonText.empty()) ++record.balloons;
  return true;
}

bool OffscreenHost::ModifyTrayIcon(WindowBase& window, const TrayIconData& data) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = tray_.find(data.id);
  if (it == tray_.end() || it->second.owner != &window) return false;
  it->second.data = data;
  if (!data.balloonText.empty()) ++it->second.balloons;
  return true;
}

void OffscreenHost::RemoveTrayIcon(WindowBase& window, uint32_t id) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = tray_.find(id);
  if (it != tray_.end() && it->second.owner == &window) tray_.erase(it);
}

uint32_t OffscreenHost::TrackPopupMenu(WindowBase&, const std::vector<MenuItem>& items, Point) {
  std::lock_guard<std::mutex> hold(lock_);
  lastMenu_ = items;
  if (menuAnswers_.empty()) return 0;
  const uint32_t id = menuAnswers_.front();
  menuAnswers_.pop_front();
  for (const MenuItem& item : items)
    if (item.id == id) return id;
  return 0;
}

OffscreenWindow* OffscreenHost::FindWindow(const std::u16string& name) const {
  if (name.empty()) {
    if (!modals_.empty()) return modals_.back();
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      if ((*it)->IsVisible()) return *it;
    return nullptr;
  }
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    WindowBase& w = (*it)->Window();
    if (w.ClassName() == name || w.GetTitle() == name) return *it;
  }
  return nullptr;
}

bool OffscreenHost::RunScript(const std::function<bool()>& step) {
  MessageLoop& loop = MessageLoop::Current();
  if (loop.IsLoopThread()) {
    const bool result = step();
    for (int i = 0; i < kMaxDrainTurns && loop.RunPending(); ++i) {
    }
    return result;
  }
  struct State {
    std::mutex lock;  // guards the fields below
    std::condition_variable changed;
    bool started = false;
    bool done = false;
    bool result = false;
  };
  auto state = std::make_shared<State>();
  loop.Post([state, step] {
    {
      std::lock_guard<std::mutex> hold(state->lock);
      state->started = true;
    }
    const bool result = step();
    std::lock_guard<std::mutex> hold(state->lock);
    state->done = true;
    state->result = result;
    state->changed.notify_all();
  });
  // Done once the loop is idle again: the step and what it posted ran, or the step opened a
  // modal window whose loop now waits for input.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    loop.WaitIdle(left);
    std::lock_guard<std::mutex> hold(state->lock);
    if (state->started && loop.IsIdle()) return state->done ? state->result : true;
  }
  std::lock_guard<std::mutex> hold(state->lock);
  return state->done && state->result;
}

bool OffscreenHost::Settle(std::chrono::milliseconds limit) {
  MessageLoop& loop = MessageLoop::Current();
  if (loop.IsLoopThread()) {
    for (int i = 0; i < kMaxDrainTurns && loop.RunPending(); ++i) {
    }
    return true;
  }
  return loop.WaitIdle(limit);
}

bool OffscreenHost::OnWindow(const std::u16string& window,
                             const std::function<bool(OffscreenWindow&)>& step) {
  return RunScript([this, window, step] {
    OffscreenWindow* w = FindWindow(window);
    return w && step(*w);
  });
}

void OffscreenHost::MoveTo(OffscreenWindow& w, Point point) {
  const Rect wr = w.GetRect();
  cursor_ = {wr.left + point.x, wr.top + point.y};
  w.Window().HostMouseMove(point);
}

void OffscreenHost::ClickAt(OffscreenWindow& w, Point point) {
  MoveTo(w, point);
  w.Window().HostButtonDown(point, cursor_, 1);
  w.TakeDrag();  // a click on a drag area moves nothing
  w.Window().HostButtonUp(point);
}

bool OffscreenHost::Press(const std::u16string& control, const std::u16string& window) {
  return OnWindow(window, [this, control](OffscreenWindow& w) {
    WindowBase& base = w.Window();
    base.Manager().LayoutIfNeeded();
    Control* c = base.FindControl(control);
    if (!c || !c->IsShownInWindow()) return false;
    const Rect r = c->GetPos().Intersect({0, 0, base.GetClientSize().cx, base.GetClientSize().cy});
    if (r.IsEmpty()) return false;
    ClickAt(w, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return true;
  });
}

bool OffscreenHost::Click(Point point, const std::u16string& window) {
  return OnWindow(window, [this, point](OffscreenWindow& w) {
    ClickAt(w, point);
    return true;
  });
}

bool OffscreenHost::MoveMouse(Point point, const std::u16string& window) {
  return OnWindow(window, [this, point](OffscreenWindow& w) {
    MoveTo(w, point);
    return true;
  });
}

bool OffscreenHost::Key(uint32_t key, int64_t modifiers, const std::u16string& window) {
  return OnWindow(window, [key, modifiers](OffscreenWindow& w) {
    w.Window().HostKeyDown(key, modifiers);
    return true;
  });
}

bool OffscreenHost::Type(const std::u16string& text, const std::u16string& window) {
  return OnWindow(window, [text](OffscreenWindow& w) {
    w.Window().HostText(text);
    return true;
  });
}

bool OffscreenHost::Drag(Point from, int dx, int dy, const std::u16string& window) {
  return OnWindow(window, [from, dx, dy](OffscreenWindow& w) {
    WindowBase& base = w.Window();
    const Rect wr = w.GetRect();
    base.HostButtonDown(from, {wr.left + from.x, wr.top + from.y}, 1);
    if (w.TakeDrag()) {
      // The window follows the mouse, as the window manager would move it.
      w.SetRect(wr.Offset(dx, dy));
      base.HostMoved({wr.left + dx, wr.top + dy});
    } else {
      base.HostMouseMove({from.x + dx, from.y + dy});
    }
    base.HostButtonUp({from.x + dx, from.y + dy});
    return true;
  });
}

bool OffscreenHost::TrayEvent(uint32_t id, uint32_t mouseMessage) {
  return RunScript([this, id, mouseMessage] {
    WindowBase* owner = nullptr;
    uint32_t message = 0;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = tray_.find(id);
      if (it == tray_.end()) return false;
      owner = it->second.owner;
      message = it->second.data.callbackMessage;
    }
    return owner->Post(message, id, mouseMessage);
  });
}

bool OffscreenHost::Snapshot(const std::string& pngPath, const std::u16string& window) {
  return OnWindow(window, [pngPath](OffscreenWindow& w) {
    cairo_surface_t* surface = w.Render();
    const bool ok = cairo_surface_write_to_png(surface, pngPath.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
  });
}

void OffscreenHost::WithWindow(const std::u16string& window,
                               const std::function<void(WindowBase*)>& code) {
  RunScript([this, window, code] {
    OffscreenWindow* w = FindWindow(window);
    code(w ? &w->Window() : nullptr);
    return true;
  });
}

void OffscreenHost::QueueFolderAnswer(std::optional<std::u16string> folder) {
  std::lock_guard<std::mutex> hold(lock_);
  folderAnswers_.push_back(std::move(folder));
}

void OffscreenHost::QueueMenuAnswer(uint32_t itemId) {
  std::lock_guard<std::mutex> hold(lock_);
  menuAnswers_.push_back(itemId);
}

std::optional<OffscreenHost::TrayRecord> OffscreenHost::TrayIcon(uint32_t id) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = tray_.find(id);
  if (it == tray_.end()) return std::nullopt;
  return it->second;
}

OffscreenHost::TaskbarRecord OffscreenHost::Taskbar(const std::u16string& window) const {
  auto record = std::make_shared<TaskbarRecord>();
  const_cast<OffscreenHost*>(this)->RunScript([this, window, record] {
    if (OffscreenWindow* w = FindWindow(window)) {
      record->state = w->taskbarState;
      record->percent = w->taskbarPercent;
    }
    return true;
  });
  return *record;
}

std::vector<std::u16string> OffscreenHost::FolderPickerTitles() const {
  std::lock_guard<std::mutex> hold(lock_);
  return pickerTitles_;
}

std::vector<MenuItem> OffscreenHost::LastMenu() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lastMenu_;
}

std::vector<std::u16string> OffscreenHost::WindowNames() const {
  auto names = std::make_shared<std::vector<std::u16string>>();
  const_cast<OffscreenHost*>(this)->RunScript([this, names] {
    for (OffscreenWindow* w : windows_) names->push_back(w->Window().ClassName());
    return true;
  });
  return *names;
}

}  // namespace SkinUI

#include "toolkit/window/window_base.h"

#include <condition_variable>
#include <map>
#include <mutex>

#include "log/simple_log.h"
#include "platform/os/random.h"
#include "platform/os/window_socket.h"
#include "toolkit/archive/image_cache.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/skin/skin_builder.h"
#include "toolkit/window/message_loop.h"
#include "toolkit/window/socket_bridge.h"
#include "xml/utf.h"

namespace SkinUI {

// What tasks and other threads hold of a window: whether it still takes messages, the object,
// and its window timers.
struct WindowLiveness {
  std::mutex lock;  // guards every member
  std::condition_variable changed;
  bool alive = true;
  WindowBase* window = nullptr;
  std::map<uint32_t, MessageLoop::TimerId> timers;
};

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;  // guards Registry()
  return lock;
}

std::map<uint32_t, std::shared_ptr<WindowLiveness>>& Registry() {
  static std::map<uint32_t, std::shared_ptr<WindowLiveness>> windows;
  return windows;
}

std::shared_ptr<WindowLiveness> Lookup(uint32_t handle) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  auto it = Registry().find(handle);
  return it == Registry().end() ? nullptr : it->second;
}

// A random handle that no window of this process holds (the socket tells whether another
// process holds it); positive as a signed number, since handles travel in decimal. Hold
// RegistryLock.
uint32_t FreeHandleLocked() {
  for (;;) {
    uint32_t handle = 0;
    nuv::os::FillRandom(&handle, sizeof(handle));
    handle = (handle & 0x7FFFFFF0u) | 0x10u;
    if (!Registry().count(handle)) return handle;
  }
}

bool IsAlive(const std::shared_ptr<WindowLiveness>& alive) {
  std::lock_guard<std::mutex> hold(alive->lock);
  return alive->alive;
}

}  // namespace

WindowBase::WindowBase() : alive_(std::make_shared<WindowLiveness>()) {
  alive_->window = this;
  alive_->alive = false;  // until Create
}

WindowBase::~WindowBase() {
  if (native_) {
    // Destroyed without Destroy: no final message for a half-destroyed object.
    {
      std::lock_guard<std::mutex> hold(alive_->lock);
      alive_->alive = false;
    }
    alive_->changed.notify_all();
    StopSocket();
    {
      std::lock_guard<std::mutex> hold(RegistryLock());
      Registry().erase(handle_);
    }
    native_->Destroy();
    native_.reset();
  }
}

std::unique_ptr<Control> WindowBase::CreateControl(std::u16string_view) {
  return nullptr;
}

int64_t WindowBase::HandleMessage(const Message&, bool& handled) {
  handled = false;
  return 0;
}

HitArea WindowBase::HitTest(Point clientPoint) {
  const Rect& caption = manager_.Skin().caption;
  if (caption.bottom <= 0) return HitArea::Client;
  const Size client = manager_.GetClientSize();
  const bool inStrip = clientPoint.y >= caption.top && clientPoint.y < caption.bottom &&
                       clientPoint.x >= caption.left && clientPoint.x < client.cx - caption.right;
  if (!inStrip) return HitArea::Client;
  Control* control = manager_.FindControlAt(clientPoint);
  if (control && !control->GetInterface(u"Container")) return HitArea::Client;
  return HitArea::Caption;
}

uint32_t WindowBase::Create(WindowBase* owner, std::u16string title, const CreateParams& params) {
  if (native_) return handle_;
  // Windows live on one thread: the first window's, unless the loop was bound before.
  MessageLoop::Current().BindIfUnbound();
  owner_ = owner;
  title_ = std::move(title);
  BuildSkin();

  const WindowSkin& skin = manager_.Skin();
  Rect rect = params.rect;
  if (skin.size.cx > 0 && skin.size.cy > 0)
    rect = Rect::FromXYWH(rect.left, rect.top, skin.size.cx, skin.size.cy);
  NativeWindowParams native;
  native.title = title_;
  native.rect = rect;
  native.owner = owner;
  native.layered = skin.layered;
  native.opacity = skin.opacity;
  native.topmost = params.topmost;
  native.toolWindow = params.toolWindow;
  native_ = CurrentHost().CreateNativeWindow(*this, native);
  if (!native_) {
    NUV_LOG(1, "[ERROR] toolkit: no native window for %s", WideToUtf8(ClassName()).c_str());
    return 0;
  }
  rect_ = rect;
  manager_.SetScale(native_->Scale());
  manager_.SetClientSize({rect.Width(), rect.Height()});
  manager_.SetNotifySink(this);
  manager_.SetInvalidateHandler([this](const Rect& r) {
    if (native_) native_->Invalidate(r);
  });
  manager_.SetLayoutHandler([this] {
    if (native_) native_->SyncNativeChildren();
  });

  {
    std::lock_guard<std::mutex> hold(alive_->lock);
    alive_->alive = true;
  }
  {
    std::lock_guard<std::mutex> hold(RegistryLock());
    handle_ = FreeHandleLocked();
    Registry()[handle_] = alive_;
  }
  StartSocket();

  InitWindow();
  std::shared_ptr<WindowLiveness> alive = alive_;
  MessageLoop::Current().Post([alive] {
    if (!IsAlive(alive)) return;
    WindowBase* window = alive->window;
    window->manager_.SendNotify(nullptr, kNotifyWindowInit);
  });
  if (params.visible) Show(ShowCommand::Show);
  return handle_;
}

void WindowBase::BuildSkin() {
  const std::u16string folder = SkinFolder();
  std::u16string path = folder;
  if (!path.empty() && path.back() != u'/') path.push_back(u'/');
  path += SkinFile();
  const std::string name = WideToUtf8(path);
  std::optional<std::string> bytes = SkinResources::Get().ReadFile(name);
  if (!bytes) {
    NUV_LOG(2, "[WARN] toolkit: skin %s not found; the window stays empty", name.c_str());
    return;
  }
  const std::u16string text = Utf8ToWide(*bytes);
  std::optional<BuiltSkin> built = SkinUI::BuildSkin(
      text, name, [this](std::u16string_view kind) { return CreateControl(kind); });
  if (!built) return;
  manager_.AttachRoot(std::move(built->root), std::move(built->window));
}

void WindowBase::StartSocket() {
  auto bridge = std::make_unique<WindowSocketBridge>(*this);
  // A handle another process listens on is taken: pick another.
  for (int tries = 0; tries < 8; ++tries) {
    if (bridge->Start(handle_, WideToUtf8(ClassName()), WideToUtf8(title_))) {
      socket_ = std::move(bridge);
      return;
    }
    std::lock_guard<std::mutex> hold(RegistryLock());
    Registry().erase(handle_);
    handle_ = FreeHandleLocked();
    Registry()[handle_] = alive_;
  }
  NUV_LOG(2, "[WARN] toolkit: window %s has no socket; other processes cannot reach it",
          WideToUtf8(ClassName()).c_str());
}

void WindowBase::StopSocket() {
  if (socket_) socket_->Stop();
  socket_.reset();
}

void WindowBase::Close(int result) {
  if (modal_) {
    modalResult_ = result;
    modalDone_ = true;
    MessageLoop::Current().Post([] {});  // the modal loop looks at modalDone_ again
    return;
  }
  // Later, not here: the caller may be a handler of one of this window's controls.
  std::shared_ptr<WindowLiveness> alive = alive_;
  MessageLoop::Current().Post([alive] {
    if (IsAlive(alive)) alive->window->Destroy();
  });
}

void WindowBase::Destroy() {
  if (!native_) return;
  {
    std::lock_guard<std::mutex> hold(alive_->lock);
    alive_->alive = false;
    for (auto& [id, timer] : alive_->timers) MessageLoop::Current().RemoveTimer(timer);
    alive_->timers.clear();
  }
  alive_->changed.notify_all();  // wakes threads waiting in Send
  StopSocket();
  {
    std::lock_guard<std::mutex> hold(RegistryLock());
    Registry().erase(handle_);
  }
  if (modal_) modalDone_ = true;
  manager_.SetInvalidateHandler({});
  manager_.SetLayoutHandler({});
  native_->Destroy();
  native_.reset();
  handle_ = 0;
  OnFinalMessage();  // may delete this
}

int WindowBase::ShowModal() {
  if (!native_) return 0;
  modal_ = true;
  modalDone_ = false;
  modalResult_ = 0;
  if (owner_) owner_->SetEnabled(false);
  Show(ShowCommand::Show);
  CurrentHost().RunModalLoop([this] { return modalDone_; });
  modal_ = false;
  if (owner_) {
    owner_->SetEnabled(true);
    if (owner_->IsVisible()) owner_->Activate();
  }
  const int result = modalResult_;
  Destroy();  // may delete this
  return result;
}

WindowBase* WindowBase::FromHandle(uint32_t handle) {
  std::shared_ptr<WindowLiveness> alive = Lookup(handle);
  if (!alive) return nullptr;
  std::lock_guard<std::mutex> hold(alive->lock);
  return alive->alive ? alive->window : nullptr;
}

void WindowBase::Show(ShowCommand command) {
  if (native_) native_->Show(command);
}

void WindowBase::ShowWindow(bool show, bool takeFocus) {
  Show(show ? (takeFocus ? ShowCommand::Show : ShowCommand::ShowNoActivate) : ShowCommand::Hide);
}

bool WindowBase::IsVisible() const {
  return native_ && native_->IsVisible();
}
bool WindowBase::IsMinimized() const {
  return native_ && native_->IsMinimized();
}

Rect WindowBase::GetWindowRect() const {
  return native_ ? native_->GetRect() : rect_;
}

void WindowBase::MoveWindow(int x, int y) {
  const Rect r = GetWindowRect();
  SetWindowRect(Rect::FromXYWH(x, y, r.Width(), r.Height()));
}

void WindowBase::ResizeClient(int width, int height) {
  const Rect r = GetWindowRect();
  SetWindowRect(Rect::FromXYWH(r.left, r.top, width, height));
}

void WindowBase::SetWindowRect(const Rect& rect) {
  if (!native_) return;
  const Rect old = GetWindowRect();
  native_->SetRect(rect);
  if (rect.Width() != old.Width() || rect.Height() != old.Height())
    HostResized({rect.Width(), rect.Height()});
  if (rect.left != old.left || rect.top != old.top) HostMoved({rect.left, rect.top});
}

void WindowBase::CenterWindow() {
  const Rect r = GetWindowRect();
  Rect area{0, 0, ScreenSize().cx, ScreenSize().cy};
  if (owner_ && owner_->IsCreated()) area = owner_->GetWindowRect();
  MoveWindow(area.left + (area.Width() - r.Width()) / 2,
             area.top + (area.Height() - r.Height()) / 2);
}

void WindowBase::CenterOnScreen() {
  const Size screen = ScreenSize();
  const Rect r = GetWindowRect();
  if (screen.cx == 0 || screen.cy == 0) return;
  const int x = (screen.cx - r.Width()) / 2, y = (screen.cy - r.Height()) / 2;
  if (x < 0 || y < 0) return;
  MoveWindow(x, y);
}

Size WindowBase::ScreenSize() const {
  return CurrentHost().ScreenSize();
}

void WindowBase::SetTopmost(bool topmost) {
  if (native_) native_->SetTopmost(topmost);
}

void WindowBase::SetTitle(std::u16string title) {
  title_ = std::move(title);
  if (native_) native_->SetTitle(title_);
  if (socket_) socket_->SetTitle(WideToUtf8(title_));
}

bool WindowBase::SetIcon(int iconResourceId) {
  std::vector<IconImage> icon = LoadIconGroup(iconResourceId);
  if (icon.empty() || !native_) return false;
  native_->SetIcon(icon);
  return true;
}

void WindowBase::Activate() {
  if (native_) native_->Activate();
}

bool WindowBase::HasFocus() const {
  return native_ && native_->HasFocus();
}

void WindowBase::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (native_) native_->SetEnabled(enabled);
}

void WindowBase::SetTaskbarProgress(TaskbarState state, int percent) {
  if (native_) native_->SetTaskbarProgress(state, percent);
}

bool WindowBase::AddTrayIcon(const TrayIconData& data) {
  return native_ && CurrentHost().AddTrayIcon(*this, data);
}

bool WindowBase::ModifyTrayIcon(const TrayIconData& data) {
  return native_ && CurrentHost().ModifyTrayIcon(*this, data);
}

void WindowBase::RemoveTrayIcon(uint32_t id) {
  CurrentHost().RemoveTrayIcon(*this, id);
}

uint32_t WindowBase::TrackPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) {
  const uint32_t chosen = CurrentHost().TrackPopupMenu(*this, items, screenPoint);
  if (chosen != 0 && native_) Send(kWmCommand, chosen);
  return chosen;
}

std::optional<std::u16string> WindowBase::PickFolder(std::u16string_view title,
                                                     std::u16string_view initialFolder) {
  return CurrentHost().PickFolder(this, title, initialFolder);
}

bool WindowBase::SetWindowTimer(uint32_t id, uint32_t elapseMs) {
  if (elapseMs == 0) return false;
  std::shared_ptr<WindowLiveness> alive = alive_;
  std::lock_guard<std::mutex> hold(alive->lock);
  if (!alive->alive) return false;
  if (auto it = alive->timers.find(id); it != alive->timers.end())
    MessageLoop::Current().RemoveTimer(it->second);
  alive->timers[id] =
      MessageLoop::Current().AddTimer(std::chrono::milliseconds(elapseMs), [alive, id] {
        if (!IsAlive(alive)) return;
        Message m;
        m.id = kWmTimer;
        m.wParam = id;
        alive->window->DeliverMessage(m, nullptr);
      });
  return true;
}

bool WindowBase::KillWindowTimer(uint32_t id) {
  std::lock_guard<std::mutex> hold(alive_->lock);
  auto it = alive_->timers.find(id);
  if (it == alive_->timers.end()) return false;
  MessageLoop::Current().RemoveTimer(it->second);
  alive_->timers.erase(it);
  return true;
}

void WindowBase::DeliverMessage(const Message& message, int64_t* result) {
  bool handled = false;
  const int64_t r = HandleMessage(message, handled);
  if (result) *result = r;
  if (handled) return;
  if ((message.id == kWmSysCommand && message.wParam == kScClose) || message.id == kWmClose) {
    Close(0);
  } else if (message.id == kWmSysCommand && message.wParam == kScMinimize) {
    Show(ShowCommand::Minimize);
  }
}

bool WindowBase::Post(uint32_t id, uint64_t wParam, int64_t lParam) {
  std::shared_ptr<WindowLiveness> alive = alive_;
  if (!IsAlive(alive)) return false;
  Message m;
  m.id = id;
  m.wParam = wParam;
  m.lParam = lParam;
  MessageLoop::Current().Post([alive, m] {
    if (IsAlive(alive)) alive->window->DeliverMessage(m, nullptr);
  });
  return true;
}

int64_t WindowBase::Send(uint32_t id, uint64_t wParam, int64_t lParam) {
  Message m;
  m.id = id;
  m.wParam = wParam;
  m.lParam = lParam;
  return Send(m);
}

int64_t WindowBase::Send(const Message& message) {
  std::shared_ptr<WindowLiveness> alive = alive_;
  if (!IsAlive(alive)) return 0;
  if (MessageLoop::Current().IsLoopThread()) {
    int64_t result = 0;
    DeliverMessage(message, &result);
    return result;
  }
  struct Reply {
    bool done = false;
    int64_t result = 0;
  };
  auto reply = std::make_shared<Reply>();
  MessageLoop::Current().Post([alive, reply, message] {
    int64_t result = 0;
    if (IsAlive(alive)) alive->window->DeliverMessage(message, &result);
    {
      std::lock_guard<std::mutex> hold(alive->lock);
      reply->done = true;
      reply->result = result;
    }
    alive->changed.notify_all();
  });
  std::unique_lock<std::mutex> hold(alive->lock);
  alive->changed.wait(hold, [&] { return reply->done || !alive->alive; });
  return reply->done ? reply->result : 0;
}

void WindowBase::PostTask(std::function<void()> task) {
  std::shared_ptr<WindowLiveness> alive = alive_;
  MessageLoop::Current().Post([alive, task = std::move(task)] {
    if (IsAlive(alive)) task();
  });
}

void WindowBase::Invoke(const std::function<void()>& task) {
  if (MessageLoop::Current().IsLoopThread()) {
    task();
    return;
  }
  std::shared_ptr<WindowLiveness> alive = alive_;
  auto done = std::make_shared<bool>(false);
  MessageLoop::Current().Post([alive, done, task] {
    if (IsAlive(alive)) task();
    {
      std::lock_guard<std::mutex> hold(alive->lock);
      *done = true;
    }
    alive->changed.notify_all();
  });
  std::unique_lock<std::mutex> hold(alive->lock);
  alive->changed.wait(hold, [&] { return *done || !alive->alive; });
}

bool WindowBase::PostTo(uint32_t handle, uint32_t id, uint64_t wParam, int64_t lParam) {
  if (std::shared_ptr<WindowLiveness> alive = Lookup(handle)) {
    WindowBase* window = nullptr;
    {
      std::lock_guard<std::mutex> hold(alive->lock);
      if (alive->alive) window = alive->window;
    }
    return window && window->Post(id, wParam, lParam);
  }
  return nuv::os::PostWindowMessage(handle, id, wParam);
}

void WindowBase::HostPaint(cairo_t* cr, const Rect& clip) {
  manager_.Render(cr, clip);
}

void WindowBase::HostMouseMove(Point client) {
  if (enabled_) manager_.OnMouseMove(client);
}

void WindowBase::HostMouseLeave() {
  manager_.OnMouseLeave();
}

void WindowBase::HostButtonDown(Point client, Point screen, int clicks) {
  if (!enabled_) return;
  if (HitTest(client) == HitArea::Caption) {
    if (clicks >= 2) {
      Message m;
      m.id = kWmNcLButtonDblClk;
      DeliverMessage(m, nullptr);  // we never maximise, whatever the answer
    } else if (native_) {
      native_->BeginMoveDrag(screen);
    }
    return;
  }
  manager_.OnButtonDown(client, clicks);
}

void WindowBase::HostButtonUp(Point client) {
  if (enabled_) manager_.OnButtonUp(client);
}

void WindowBase::HostScroll(Point client, int delta) {
  if (enabled_) manager_.OnScroll(client, delta);
}

void WindowBase::HostKeyDown(uint32_t key, int64_t modifiers) {
  if (!enabled_) return;
  Message m;
  m.id = kWmKeyDown;
  m.wParam = key;
  m.lParam = modifiers;
  if (MessageFilter(m)) return;
  if (key == kVkF4 && (modifiers & kModAlt)) {
    HostCloseRequest();
    return;
  }
  manager_.OnKeyDown(key, modifiers);
}

void WindowBase::HostText(std::u16string_view text) {
  if (enabled_) manager_.OnText(text);
}

void WindowBase::HostMoved(Point topLeft) {
  rect_ = Rect::FromXYWH(topLeft.x, topLeft.y, rect_.Width(), rect_.Height());
  Message m;
  m.id = kWmMove;
  m.lParam = static_cast<int64_t>((static_cast<uint32_t>(topLeft.x) & 0xFFFF) |
                                  ((static_cast<uint32_t>(topLeft.y) & 0xFFFF) << 16));
  DeliverMessage(m, nullptr);
}

void WindowBase::HostResized(Size client) {
  rect_ = Rect::FromXYWH(rect_.left, rect_.top, client.cx, client.cy);
  manager_.SetClientSize(client);
}

void WindowBase::HostFocusChanged(bool) {}

void WindowBase::HostCloseRequest() {
  Message m;
  m.id = kWmSysCommand;
  m.wParam = kScClose;
  DeliverMessage(m, nullptr);
}

void WindowBase::HostActivateRequest() {
  if (!native_) return;
  native_->Show(IsMinimized() ? ShowCommand::Restore : ShowCommand::Show);
  native_->Activate();
}

int RunMessageLoop() {
  return CurrentHost().RunLoop();
}

void QuitMessageLoop(int code) {
  MessageLoop::Current().Quit(code);
}

}  // namespace SkinUI

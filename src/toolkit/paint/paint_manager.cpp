#include "toolkit/paint/paint_manager.h"

#include <cairo.h>

#include <map>
#include <mutex>
#include <utility>

#include "toolkit/archive/image_cache.h"
#include "toolkit/controls/combo.h"
#include "toolkit/controls/container.h"
#include "toolkit/host/host.h"
#include "toolkit/messages.h"
#include "toolkit/render/painter.h"
#include "toolkit/render/text_renderer.h"
#include "toolkit/window/message_loop.h"

namespace SkinUI {

// The timers of one manager. Ticks run on the loop's thread and check here that the timer
// still exists and the manager is alive before they notify.
struct TimerState {
  std::mutex lock;  // guards every member
  PaintManager* manager = nullptr;
  std::map<std::pair<Control*, uint32_t>, MessageLoop::TimerId> timers;
};

namespace {

UiEvent MakeEvent(UiEventType type, Point point = {}) {
  UiEvent e;
  e.type = type;
  e.point = point;
  return e;
}

bool IsInside(const Control* control, const Control* ancestor) {
  for (const Control* c = control; c; c = c->GetParent())
    if (c == ancestor) return true;
  return false;
}

}  // namespace

PaintManager::PaintManager(MessageLoop* loop)
    : images_(std::make_shared<ImageCache>()),
      loop_(loop ? loop : &MessageLoop::Current()),
      timers_(std::make_shared<TimerState>()) {
  timers_->manager = this;
}

PaintManager::~PaintManager() {
  {
    std::lock_guard<std::mutex> hold(timers_->lock);
    timers_->manager = nullptr;
    for (auto& [key, id] : timers_->timers) loop_->RemoveTimer(id);
    timers_->timers.clear();
  }
  // Controls tell the manager when they go; it is going itself.
  focus_ = hot_ = capture_ = popup_ = nullptr;
  sink_ = nullptr;
  root_.reset();
}

void PaintManager::AttachRoot(std::unique_ptr<Control> root, WindowSkin skin) {
  focus_ = hot_ = capture_ = popup_ = nullptr;
  root_.reset();
  skin_ = std::move(skin);
  root_ = std::move(root);
  if (root_) root_->Attach(this, nullptr);
  NeedUpdate();
}

void PaintManager::SetImages(std::shared_ptr<ImageCache> images) {
  images_ = std::move(images);
  InvalidateAll();
}

void PaintManager::Walk(Control& control, const std::function<void(Control&)>& visit) const {
  visit(control);
  if (auto* container = dynamic_cast<Container*>(&control))
    for (const auto& child : container->Children()) Walk(*child, visit);
}

Control* PaintManager::FindControl(std::u16string_view name) const {
  if (!root_ || name.empty()) return nullptr;
  // Depth first, stopping at the first match.
  std::vector<Control*> stack{root_.get()};
  while (!stack.empty()) {
    Control* c = stack.back();
    stack.pop_back();
    if (c->GetName() == name) return c;
    if (auto* container = dynamic_cast<Container*>(c)) {
      const auto& children = container->Children();
      for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(it->get());
    }
  }
  return nullptr;
}

Control* PaintManager::FindAt(Control& control, Point point, const Rect& clip) const {
  if (!control.IsVisible()) return nullptr;
  const Rect area = control.GetPos().Intersect(clip);
  if (!area.Contains(point)) return nullptr;
  if (auto* container = dynamic_cast<Container*>(&control)) {
    const auto& children = container->Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (Control* found = FindAt(**it, point, area)) return found;
  }
  return control.IsMouseEnabled() ? &control : nullptr;
}

Control* PaintManager::FindControlAt(Point point) const {
  const Rect client{0, 0, clientSize_.cx, clientSize_.cy};
  if (!client.Contains(point) || !root_) return nullptr;
  const_cast<PaintManager*>(this)->LayoutIfNeeded();
  if (auto* combo = dynamic_cast<Combo*>(popup_); combo && combo->DropRect().Contains(point))
    return popup_;
  Control* found = FindAt(*root_, point, client);
  return found ? found : root_.get();
}

void PaintManager::SetClientSize(Size size) {
  if (size == clientSize_) return;
  clientSize_ = size;
  NeedUpdate();
}

void PaintManager::NeedUpdate() {
  needUpdate_ = true;
  InvalidateAll();
}

void PaintManager::Invalidate(const Rect& rect) {
  const Rect r = rect.Intersect({0, 0, clientSize_.cx, clientSize_.cy});
  if (r.IsEmpty()) return;
  dirty_ = dirty_.Union(r);
  if (onInvalidate_) onInvalidate_(r);
}

void PaintManager::InvalidateAll() {
  Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
}

Rect PaintManager::TakeDirtyRect() {
  return std::exchange(dirty_, Rect{});
}

void PaintManager::SetInvalidateHandler(std::function<void(const Rect&)> handler) {
  onInvalidate_ = std::move(handler);
}

void PaintManager::SetLayoutHandler(std::function<void()> handler) {
  onLayout_ = std::move(handler);
}

void PaintManager::LayoutIfNeeded() {
  if (!needUpdate_) return;
  needUpdate_ = false;
  if (root_) root_->SetPos({0, 0, clientSize_.cx, clientSize_.cy});
  if (onLayout_) onLayout_();
}

void PaintManager::Render(cairo_t* cr, const Rect& clip) {
  LayoutIfNeeded();
  const Rect area = clip.Intersect({0, 0, clientSize_.cx, clientSize_.cy});
  if (area.IsEmpty()) return;
  Painter painter(cr, *this, area);
  painter.FillRect(area, skin_.bkColor);
  if (root_ && root_->IsVisible()) root_->Paint(painter);
  if (auto* combo = dynamic_cast<Combo*>(popup_)) combo->PaintDropList(painter);
}

void PaintManager::SetScale(int scale) {
  scale_ = scale >= 2 ? 2 : 1;
  InvalidateAll();
}

Size PaintManager::MeasureText(int font, std::u16string_view text, int wrapWidth, bool rich) const {
  return SkinUI::MeasureText(skin_.fonts, font, text, wrapWidth, rich);
}

void PaintManager::SetFocus(Control* control) {
  if (control == focus_) return;
  Control* old = focus_;
  focus_ = control;
  if (old) {
    UiEvent e = MakeEvent(UiEventType::KillFocus);
    old->DoEvent(e);
    old->Invalidate();
    SendNotify(old, kNotifyKillFocus);
  }
  // The killfocus handler may have moved the focus on.
  if (focus_ != control) return;
  if (control) {
    UiEvent e = MakeEvent(UiEventType::SetFocus);
    control->DoEvent(e);
    control->Invalidate();
    SendNotify(control, kNotifySetFocus);
  } else {
    caretRect_ = {};
  }
}

bool PaintManager::MoveFocus(bool forward) {
  if (!root_) return false;
  LayoutIfNeeded();
  const Rect client{0, 0, clientSize_.cx, clientSize_.cy};
  std::vector<Control*> stops;
  Walk(*root_, [&](Control& c) {
    if (c.IsFocusable() && c.IsEnabled() && c.IsShownInWindow() &&
        !c.GetPos().Intersect(client).IsEmpty())
      stops.push_back(&c);
  });
  if (stops.empty()) return false;
  size_t next = forward ? 0 : stops.size() - 1;
  for (size_t i = 0; i < stops.size(); ++i) {
    if (stops[i] != focus_) continue;
    next = forward ? (i + 1) % stops.size() : (i + stops.size() - 1) % stops.size();
    break;
  }
  focusVisible_ = true;
  SetFocus(stops[next]);
  return true;
}

void PaintManager::UpdateHot(Point point) {
  Control* now = FindControlAt(point);
  if (now == hot_) return;
  Control* old = hot_;
  hot_ = now;
  if (old) {
    UiEvent e = MakeEvent(UiEventType::MouseLeave, point);
    old->DoEvent(e);
  }
  if (now && now == hot_) {
    UiEvent e = MakeEvent(UiEventType::MouseEnter, point);
    now->DoEvent(e);
  }
}

void PaintManager::OnMouseMove(Point point) {
  UiEvent e = MakeEvent(UiEventType::MouseMove, point);
  if (capture_) {
    capture_->DoEvent(e);
    return;
  }
  UpdateHot(point);
  if (hot_) hot_->DoEvent(e);
}

void PaintManager::OnMouseLeave() {
  if (capture_ || !hot_) return;
  Control* old = hot_;
  hot_ = nullptr;
  UiEvent e = MakeEvent(UiEventType::MouseLeave);
  old->DoEvent(e);
}

void PaintManager::OnButtonDown(Point point, int clicks) {
  Control* target = FindControlAt(point);
  if (popup_ && target != popup_) {
    // A press outside an open list closes it and goes no further.
    if (auto* combo = dynamic_cast<Combo*>(popup_)) combo->SetDropped(false);
    return;
  }
  if (!target || !target->IsEnabled()) return;
  focusVisible_ = false;
  if (target->IsFocusable())
    SetFocus(target);
  else if (target != popup_)
    SetFocus(nullptr);
  capture_ = target;
  UiEvent e = MakeEvent(UiEventType::ButtonDown, point);
  e.clicks = clicks;
  target->DoEvent(e);
}

void PaintManager::OnButtonUp(Point point) {
  Control* target = capture_ ? capture_ : FindControlAt(point);
  capture_ = nullptr;
  if (target && popup_ == target) {
    // A release over the open list picks; the box's own release (the press that opened it)
    // goes to the box.
    UiEvent e = MakeEvent(UiEventType::ButtonUp, point);
    target->DoEvent(e);
  } else if (target) {
    UiEvent e = MakeEvent(UiEventType::ButtonUp, point);
    target->DoEvent(e);
  }
  UpdateHot(point);
}

void PaintManager::OnScroll(Point point, int delta) {
  Control* target = FindControlAt(point);
  if (!target || !target->IsEnabled()) return;
  UiEvent e = MakeEvent(UiEventType::Scroll, point);
  e.delta = delta;
  target->DoEvent(e);
}

bool PaintManager::OnKeyDown(uint32_t key, int64_t modifiers) {
  if (focus_ && focus_->IsEnabled() && focus_->IsShownInWindow()) {
    UiEvent e = MakeEvent(UiEventType::KeyDown);
    e.key = key;
    e.modifiers = modifiers;
    focus_->DoEvent(e);
    if (e.handled) return true;
  }
  if (key == kVkTab && !(modifiers & (kModControl | kModAlt)))
    return MoveFocus(!(modifiers & kModShift));
  return false;
}

void PaintManager::OnText(std::u16string_view text) {
  if (!focus_ || !focus_->IsEnabled() || !focus_->IsShownInWindow() || text.empty()) return;
  UiEvent e = MakeEvent(UiEventType::Text);
  e.text = std::u16string(text);
  focus_->DoEvent(e);
}

bool PaintManager::SetTimer(Control* control, uint32_t id, uint32_t elapseMs) {
  if (!control || elapseMs == 0) return false;
  std::weak_ptr<TimerState> weak = timers_;
  std::lock_guard<std::mutex> hold(timers_->lock);
  auto key = std::make_pair(control, id);
  if (auto it = timers_->timers.find(key); it != timers_->timers.end()) {
    loop_->RemoveTimer(it->second);
    timers_->timers.erase(it);
  }
  const MessageLoop::TimerId timer =
      loop_->AddTimer(std::chrono::milliseconds(elapseMs), [weak, key] {
        std::shared_ptr<TimerState> state = weak.lock();
        if (!state) return;
        PaintManager* manager = nullptr;
        {
          std::lock_guard<std::mutex> hold(state->lock);
          if (!state->manager || !state->timers.count(key)) return;
          manager = state->manager;
        }
        // Ticks run on the UI thread, where controls are deleted: the control still exists.
        manager->SendNotify(key.first, kNotifyTimer, key.second);
      });
  timers_->timers[key] = timer;
  return true;
}

bool PaintManager::KillTimer(Control* control, uint32_t id) {
  std::lock_guard<std::mutex> hold(timers_->lock);
  auto it = timers_->timers.find({control, id});
  if (it == timers_->timers.end()) return false;
  loop_->RemoveTimer(it->second);
  timers_->timers.erase(it);
  return true;
}

void PaintManager::KillTimers(Control* control) {
  std::lock_guard<std::mutex> hold(timers_->lock);
  for (auto it = timers_->timers.begin(); it != timers_->timers.end();) {
    if (it->first.first == control) {
      loop_->RemoveTimer(it->second);
      it = timers_->timers.erase(it);
    } else {
      ++it;
    }
  }
}

void PaintManager::SendNotify(Control* sender, const char* type, uint64_t wParam, int64_t lParam) {
  if (!sink_) return;
  Notification n;
  n.type = type;
  n.sender = sender;
  n.wParam = wParam;
  n.lParam = lParam;
  sink_->Notify(n);
}

void PaintManager::ForgetControl(Control* control) {
  if (focus_ == control) focus_ = nullptr;
  if (hot_ == control) hot_ = nullptr;
  if (capture_ == control) capture_ = nullptr;
  if (popup_ == control) popup_ = nullptr;
  KillTimers(control);
}

void PaintManager::ReleaseStates(Control* control) {
  if (hot_ && IsInside(hot_, control)) hot_ = nullptr;
  if (capture_ && IsInside(capture_, control)) capture_ = nullptr;
  if (popup_ && IsInside(popup_, control)) {
    Control* combo = popup_;
    popup_ = nullptr;
    if (auto* c = dynamic_cast<Combo*>(combo)) c->SetDropped(false);
  }
  if (focus_ && IsInside(focus_, control)) SetFocus(nullptr);
}

std::u16string PaintManager::ClipboardText() const {
  return CurrentHost().ClipboardText();
}

void PaintManager::SetClipboardText(std::u16string_view text) const {
  CurrentHost().SetClipboardText(text);
}

}  // namespace SkinUI

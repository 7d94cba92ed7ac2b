// Test helpers of the toolkit suites: a skin folder with the shipped documents and placeholder
// pictures of our own (flat, bordered shapes, so tests never depend on the artwork), and a window
// that records what it is told.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "toolkit/geometry.h"
#include "toolkit/window/window_base.h"

namespace skin_fixture {

// A PNG of width × height: a fill with a one-pixel border and the given corner radius.
std::string PlaceholderPng(int width, int height, SkinUI::Color fill, SkinUI::Color border,
                           int radius);

// The image file names the documents of resources/skin name.
std::vector<std::string> ImageNames();

// Copies the shipped documents into dir and writes a placeholder for every image they name.
void WriteFixtureSkin(const std::string& dir);

// Makes "res='N'" images the placeholder background (640 × 400), whatever the build embeds.
void UsePlaceholderResources();

// A window of one skin document that records notifications ("type:sender") and messages.
class RecordingWindow : public SkinUI::WindowBase {
 public:
  RecordingWindow(std::u16string className, std::u16string skinFile)
      : className_(std::move(className)), skinFile_(std::move(skinFile)) {}

  std::u16string ClassName() const override { return className_; }
  std::u16string SkinFile() const override { return skinFile_; }
  void Notify(SkinUI::Notification& n) override;
  bool MessageFilter(const SkinUI::Message& key) override;
  int64_t HandleMessage(const SkinUI::Message& message, bool& handled) override;

  std::vector<std::string> Events() const;
  void ClearEvents();
  std::vector<SkinUI::Message> Messages() const;
  // Keys the filter consumes (the main window consumes Escape).
  std::vector<uint32_t> consumedKeys;

 private:
  std::u16string className_;
  std::u16string skinFile_;
  mutable std::mutex lock_;  // guards the two records below (tests read them from other threads)
  std::vector<std::string> events_;
  std::vector<SkinUI::Message> messages_;
};

}  // namespace skin_fixture

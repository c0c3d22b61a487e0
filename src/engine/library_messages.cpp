#include "engine/library_messages.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace qm {

namespace {

constexpr std::size_t kKeptMessages = 8;
constexpr std::size_t kLongestMessage = 300;

// The libraries call plain functions without a context, so the collection
// of the running job is found through its thread. This is the one piece of
// per-thread state the program keeps.
thread_local LibraryMessages* collecting = nullptr;

void keep(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == '.' || message.back() == ' '))
    message.pop_back();
  if (collecting && !message.empty()) collecting->add(std::move(message));
}

void DLL_CALLCONV fromFreeImage(FREE_IMAGE_FORMAT, const char* message) {
  if (message) keep(message);
}

void fromTiff(const char* module, const char* format, va_list arguments) {
  char text[kLongestMessage];
  std::vsnprintf(text, sizeof text, format, arguments);
  keep(module && *module ? std::string(module) + ": " + text : std::string(text));
}

}  // namespace

void silenceLibraryMessages() {
  static std::once_flag routed;
  std::call_once(routed, [] {
    FreeImage_SetOutputMessage(fromFreeImage);
    TIFFSetWarningHandler(fromTiff);
    TIFFSetErrorHandler(fromTiff);
  });
}

LibraryMessages::LibraryMessages() : outer_(collecting) {
  silenceLibraryMessages();
  collecting = this;
}

LibraryMessages::~LibraryMessages() { collecting = outer_; }

void LibraryMessages::add(std::string message) {
  if (message.size() > kLongestMessage) message.resize(kLongestMessage);
  if (messages_.size() == kKeptMessages) messages_.erase(messages_.begin());
  messages_.push_back(std::move(message));
}

std::string LibraryMessages::last() const { return messages_.empty() ? std::string() : messages_.back(); }

}  // namespace qm

#include "engine/batch/task_messages.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/stream.h"
#include "settings/settings_file.h"

namespace qm {

namespace {

class Writer {
 public:
  Writer& number(std::int64_t value) {
    auto narrowed = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    for (int shift = 0; shift < 32; shift += 8) bytes_ += static_cast<char>((narrowed >> shift) & 0xFF);
    return *this;
  }
  Writer& text(std::string_view value) {
    number(static_cast<std::int64_t>(value.size()));
    bytes_.append(value);
    return *this;
  }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads fields in the order they were written; any field past the end
// makes the whole message unreadable.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  template <typename Value>
  Reader& number(Value& value) {
    if (bytes_.size() < 4) {
      ok_ = false;
      return *this;
    }
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[i])) << (8 * i);
    bytes_.remove_prefix(4);
    value = static_cast<Value>(static_cast<std::int32_t>(raw));
    return *this;
  }
  Reader& flag(bool& value) {
    std::int32_t raw = 0;
    number(raw);
    value = raw != 0;
    return *this;
  }
  Reader& text(std::string& value) {
    std::uint32_t size = 0;
    number(size);
    if (!ok_ || size > bytes_.size()) {
      ok_ = false;
      return *this;
    }
    value.assign(bytes_.substr(0, size));
    bytes_.remove_prefix(size);
    return *this;
  }
  // Every field read and nothing left over.
  bool complete() const { return ok_ && bytes_.empty(); }

 private:
  std::string_view bytes_;
  bool ok_ = true;
};

}  // namespace

std::string encodeRunMessage(const RunMessage& message) {
  const RunFormat& format = message.format;
  return Writer()
      .text(settingsRecordText(message.settings))
      .text(format.extension)
      .number(format.writerId)
      .number(format.bitDepthSetting)
      .number(format.saveFlags)
      .take();
}

std::optional<RunMessage> decodeRunMessage(std::string_view bytes) {
  RunMessage message;
  std::string settingsText;
  RunFormat& format = message.format;
  Reader reader(bytes);
  reader.text(settingsText)
      .text(format.extension)
      .number(format.writerId)
      .number(format.bitDepthSetting)
      .number(format.saveFlags);
  if (!reader.complete() || !readSettingsRecordText(message.settings, settingsText)) return std::nullopt;
  return message;
}

std::string encodeTaskMessage(const TaskMessage& message) {
  const JobInput& input = message.input;
  return Writer()
      .number(message.id)
      .text(input.inputPath)
      .text(input.relativeSubFolder)
      .text(input.outputFolder)
      .number(input.sequenceNumber)
      .number(input.randomNumber)
      .text(input.temporaryOutputPath)
      // Numbers travel as 32 bits: the limit goes in MiB.
      .number(static_cast<std::int64_t>(std::min<std::uint64_t>(input.memoryLimit >> 20, 0x7FFFFFFF)))
      .take();
}

std::optional<TaskMessage> decodeTaskMessage(std::string_view bytes) {
  TaskMessage message;
  JobInput& input = message.input;
  std::int64_t megabytes = 0;
  Reader reader(bytes);
  reader.number(message.id)
      .text(input.inputPath)
      .text(input.relativeSubFolder)
      .text(input.outputFolder)
      .number(input.sequenceNumber)
      .number(input.randomNumber)
      .text(input.temporaryOutputPath)
      .number(megabytes);
  if (!reader.complete() || megabytes < 0) return std::nullopt;
  input.memoryLimit = static_cast<std::uint64_t>(megabytes) << 20;
  return message;
}

std::string encodeAnswerMessage(const AnswerMessage& message) {
  const RenderResult& result = message.result;
  return Writer()
      .number(message.id)
      .number(result.rendered ? 1 : 0)
      .number(result.reachedWrite ? 1 : 0)
      .text(result.temporaryOutputPath)
      .number(result.sourceBitDepth)
      .number(result.width)
      .number(result.height)
      .number(result.bitDepth)
      .text(result.failure)
      .text(result.notes)
      .take();
}

std::optional<AnswerMessage> decodeAnswerMessage(std::string_view bytes) {
  AnswerMessage message;
  RenderResult& result = message.result;
  Reader reader(bytes);
  reader.number(message.id)
      .flag(result.rendered)
      .flag(result.reachedWrite)
      .text(result.temporaryOutputPath)
      .number(result.sourceBitDepth)
      .number(result.width)
      .number(result.height)
      .number(result.bitDepth)
      .text(result.failure)
      .text(result.notes);
  if (!reader.complete()) return std::nullopt;
  return message;
}

bool sendMessage(int socket, std::string_view payload) {
  if (payload.size() > kMaxTaskMessageSize) return false;
  std::string framed = Writer().number(static_cast<std::int64_t>(payload.size())).take();
  framed.append(payload);
  return platform::sendAll(socket, framed);
}

std::optional<std::string> receiveMessage(int socket) {
  std::array<char, 4> header{};
  if (platform::receiveAll(socket, header) != header.size()) return std::nullopt;
  std::uint32_t size = 0;
  for (std::size_t i = header.size(); i-- > 0;) size = size << 8 | static_cast<unsigned char>(header[i]);
  if (size > kMaxTaskMessageSize) return std::nullopt;
  std::string payload(size, '\0');
  if (platform::receiveAll(socket, payload) != size) return std::nullopt;
  return payload;
}

}  // namespace qm
